#include "support/text.h"

#include <algorithm>
#include <iterator>

#include "support/widths.h"

namespace Game::Text {
namespace {

template <std::size_t N>
bool within(const Widths::Range (&table)[N], char32_t code) {
    const auto* range =
        std::upper_bound(std::begin(table), std::end(table), code,
                         [](char32_t c, const Widths::Range& r) { return c < r.first; });
    return range != std::begin(table) && code <= std::prev(range)->last;
}

// The smallest code point each length may hold: anything lower is overlong.
constexpr char32_t LOWEST[] = {0, 0, 0x80, 0x800, 0x10000};

}  // namespace

std::size_t sequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead < 0xC2) return 0;
    if (lead < 0xE0) return 2;
    if (lead < 0xF0) return 3;
    if (lead < 0xF5) return 4;
    return 0;
}

Character characterAt(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = sequenceLength(lead);
    if (length == 1) return {lead, 1, true};
    if (length == 0 || at + length > text.size()) return {lead, 1, false};
    char32_t code = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[at + i]);
        if (!isContinuation(byte)) return {lead, 1, false};
        code = (code << 6) | (byte & 0x3F);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    if (code < LOWEST[length] || surrogate || code > 0x10FFFF) return {lead, 1, false};
    return {code, length, true};
}

int columnsOf(char32_t code) {
    if (within(Widths::ZERO, code)) return 0;
    return within(Widths::WIDE, code) ? 2 : 1;
}

}  // namespace Game::Text
