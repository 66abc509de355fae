#include "support/text.h"

#include <algorithm>
#include <climits>
#include <iterator>
#include <string_view>
#include <utility>

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

// ---- Rows ---------------------------------------------------------------------

namespace {

constexpr unsigned char ESCAPE = 0x1B;

// Characters of two pieces of text read as one, escape sequences skipped: the
// unit being written and the text after it.
class Ahead {
  public:
    Ahead(std::string_view first, std::string_view second) : parts_{first, second} {}

    // The next character; nothing at the end, or at a broken one.
    std::optional<char32_t> next() {
        for (;;) {
            if (at_ >= parts_[part_].size()) {
                if (part_ == 1) return std::nullopt;
                part_ = 1;
                at_ = 0;
                continue;
            }
            const std::string_view text = parts_[part_];
            if (static_cast<unsigned char>(text[at_]) == ESCAPE) {
                const std::size_t length = unitLength(text, at_);
                if (length == 0) return std::nullopt;
                at_ += length;
                continue;
            }
            const Character character = characterAt(text, at_);
            if (!character.valid) return std::nullopt;
            at_ += character.size;
            return character.code;
        }
    }

  private:
    std::string_view parts_[2];
    int part_ = 0;
    std::size_t at_ = 0;
};

// A joiner just read stands inside a word when the first character after it
// that is no joiner is a letter (the one before it was in a word already).
bool joinsLetters(Ahead ahead) {
    for (auto code = ahead.next(); code; code = ahead.next()) {
        const Role role = roleOf(*code);
        if (role != Role::JOINER) return role == Role::LETTER;
    }
    return false;
}

bool breakAllowed(Role before, bool beforeInWord, Role after, bool afterInWord) {
    if (after == Role::MARK || after == Role::CLOSING || after == Role::JOINER) return false;
    if (before == Role::OPENING) return false;
    if (before == after && (after == Role::ELLIPSIS || after == Role::DASH)) return false;
    return !(beforeInWord && afterInWord);
}

// The numbers of a control sequence's parameters, 0 where one is left out.
int parameter(std::string_view parameters, int index) {
    for (int i = 0; i < index; ++i) {
        const auto separator = parameters.find(';');
        if (separator == std::string_view::npos) return 0;
        parameters.remove_prefix(separator + 1);
    }
    int value = 0;
    for (const char c : parameters) {
        if (c < '0' || c > '9') break;
        value = std::min(value * 10 + (c - '0'), 10000);
    }
    return value;
}

}  // namespace

Role roleOf(char32_t code) {
    // Those that never end a row, those that never begin one, and those that
    // join the letters on both sides into one word. A footnote's mark [^1] is
    // kept whole: its caret never ends a row either.
    static constexpr std::u32string_view OPENING = U"（【「『〈《“‘〔〖([{#^";
    static constexpr std::u32string_view CLOSING = U"）】」』〉》”’〕〗、，。；：？！)]},;?!%";
    static constexpr std::u32string_view JOINING = U"-./_:'";
    if (code == U' ') return Role::SPACE;
    if (OPENING.find(code) != std::u32string_view::npos) return Role::OPENING;
    if (CLOSING.find(code) != std::u32string_view::npos) return Role::CLOSING;
    if (JOINING.find(code) != std::u32string_view::npos) return Role::JOINER;
    if (code == U'…') return Role::ELLIPSIS;
    if (code == U'—') return Role::DASH;
    const bool ascii = (code >= U'0' && code <= U'9') || (code >= U'A' && code <= U'Z') ||
                       (code >= U'a' && code <= U'z');
    // Latin with its accents, Greek and Cyrillic: words of letters too.
    const bool alphabet = code >= 0xC0 && code <= 0x4FF && code != 0xD7 && code != 0xF7;
    if (ascii || (alphabet && columnsOf(code) == 1)) return Role::LETTER;
    return columnsOf(code) == 0 ? Role::MARK : Role::ORDINARY;
}

std::size_t unitLength(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead == ESCAPE) {
        if (at + 1 >= text.size()) return 0;
        const char kind = text[at + 1];
        const bool string = kind == ']' || kind == 'P' || kind == '_' || kind == '^' || kind == 'X';
        if (kind != '[' && !string) return 2;
        for (std::size_t i = at + 2; i < text.size(); ++i) {
            const auto byte = static_cast<unsigned char>(text[i]);
            if (!string && isFinal(byte)) return i - at + 1;
            if (!string && (byte < 0x20 || byte > 0x3F)) return i - at;  // broken: as it is
            if (string && byte == 0x07) return i - at + 1;
            if (string && byte == ESCAPE) {
                if (i + 1 == text.size()) return 0;
                return i - at + (text[i + 1] == '\\' ? 2 : 0);
            }
        }
        return 0;
    }
    const std::size_t length = sequenceLength(lead);
    if (length == 0) return 1;
    for (std::size_t i = 1; i < length; ++i) {
        if (at + i == text.size()) return 0;
        if (!isContinuation(static_cast<unsigned char>(text[at + i]))) return i;  // broken
    }
    return length;
}

void Row::set(std::string& out, std::string_view unit, std::string_view after,
              std::string_view attributes, bool setting) {
    const bool choosing = std::exchange(choose_, false);
    if (static_cast<unsigned char>(unit[0]) == ESCAPE) {
        if (setting && choosing) out.append(paddingBefore(unit, after, attributes));
        followSequence(unit);
        choose_ = choosing;  // the row may still end after the sequence
        out += unit;
        return;
    }
    const Character character = characterAt(unit, 0);
    if (!character.valid || character.size != unit.size()) {
        column.reset();
        wrote(Role::ORDINARY, false);
        out += unit;
        return;
    }
    const Role role = isControl(character.code) ? Role::SPACE : roleOf(character.code);
    const bool inWord = role == Role::LETTER ||
                        (role == Role::JOINER && lastInWord_ && joinsLetters(Ahead({}, after)));
    const bool pastMargin = column && width > 0 && *column >= width;
    if (setting && role == Role::SPACE && !isControl(character.code) && pastMargin) {
        wrote(role, false);  // it would begin the next row: not written there
        return;
    }
    if (setting && choosing) out.append(paddingBefore(unit, after, attributes));
    if (isControl(character.code)) {
        followControl(character.code);
    } else {
        followCharacter(character.code);
    }
    if (role == Role::MARK) {
        choose_ = true;
    } else {
        wrote(role, inWord);
    }
    out += unit;
}

// Where the row may end before the unit, and the next piece that cannot be
// parted does not fit what is left of the row but fits a whole one: spaces to
// the margin, drawn without the attributes in effect (an underline would show).
std::string Row::paddingBefore(std::string_view unit, std::string_view after,
                               std::string_view attributes) {
    if (!column || width <= 0 || *column <= 0 || *column >= width) return {};
    Ahead ahead(unit, after);
    const auto first = ahead.next();
    if (!first || isControl(*first)) return {};
    Role role = roleOf(*first);
    bool inWord =
        role == Role::LETTER || (role == Role::JOINER && lastInWord_ && joinsLetters(ahead));
    if (role == Role::SPACE || !breakAllowed(last_, lastInWord_, role, inWord)) return {};
    int columns = columnsOf(*first);
    bool spaceAfter = false;  // the row should hold it too, rather than the next begin with it
    for (auto code = ahead.next(); code && !isControl(*code); code = ahead.next()) {
        const Role next = roleOf(*code);
        const bool nextInWord =
            next == Role::LETTER || (next == Role::JOINER && inWord && joinsLetters(ahead));
        if (breakAllowed(role, inWord, next, nextInWord)) {
            spaceAfter = next == Role::SPACE && columns < width;
            break;
        }
        columns += columnsOf(*code);
        if (columns > width) return {};  // longer than a row: cut at the margin
        if (next == Role::MARK) continue;
        role = next;
        inWord = nextInWord;
    }
    if (*column + columns + (spaceAfter ? 1 : 0) <= width) return {};
    std::string padding;
    if (!attributes.empty()) padding += "\033[0m";
    padding.append(static_cast<std::size_t>(width - *column), ' ');
    padding += attributes;
    column = width;
    return padding;
}

void Row::followCharacter(char32_t code) {
    const int columns = columnsOf(code);
    if (!column || columns == 0) return;
    // Past the margin the terminal goes on at the next row's start; so does a
    // wide character that does not fit, leaving the last column blank.
    column = width > 0 && *column + columns > width ? columns : *column + columns;
}

void Row::followControl(char32_t code) {
    if (code == '\n' || code == '\r') column = 0;
    if (!column || (code != '\t' && code != '\b')) return;
    if (width > 0 && *column >= width) {  // terminals differ past the margin
        column.reset();
    } else if (code == '\b') {
        column = std::max(*column - 1, 0);
    } else {
        const int stop = (*column / 8 + 1) * 8;
        column = width > 0 ? std::min(stop, width - 1) : stop;
    }
}

// Colours and attributes leave the cursor; the moves the kit makes itself are
// followed; anything else loses it until the next line feed.
void Row::followSequence(std::string_view sequence) {
    if (sequence.size() >= 2 && sequence[1] == ']') return;  // a window title
    if (sequence.size() < 3 || sequence[1] != '[') {
        column.reset();
        return;
    }
    const char final = sequence.back();
    const std::string_view parameters = sequence.substr(2, sequence.size() - 3);
    if (!parameters.empty() && (parameters[0] < '0' || parameters[0] > ';')) {
        // A private mode leaves the cursor, but the one that changes the width.
        if ((final != 'h' && final != 'l') || parameters == "?3") column.reset();
        return;
    }
    const int first = std::max(parameter(parameters, 0), 1);
    const int last = width > 0 ? width - 1 : INT_MAX;
    const bool pastMargin = column && width > 0 && *column >= width;
    switch (final) {
        case 'm': return;
        case 'H':
        case 'f': column = std::min(std::max(parameter(parameters, 1), 1) - 1, last); return;
        case 'G': column = std::min(first - 1, last); return;
        case 'E':
        case 'F': column = 0; return;
        case 'C':
            if (column && !pastMargin) column = std::min(*column + first, last);
            break;
        case 'D':
            if (column && !pastMargin) column = std::max(*column - first, 0);
            break;
        case 'A':
        case 'B':
        case 'J':
        case 'K': break;
        default: column.reset(); return;
    }
    if (pastMargin) column.reset();
}

void Row::wrote(Role role, bool inWord) {
    last_ = role;
    lastInWord_ = inWord;
    choose_ = true;
}

std::string setFromRowStart(std::string_view text, int width) {
    Row row;
    row.width = width;
    row.column = 0;
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = unitLength(text, at);
        if (length == 0) return out.append(text.substr(at));
        row.set(out, text.substr(at, length), text.substr(at + length), {});
        at += length;
    }
    return out;
}

}  // namespace Game::Text
