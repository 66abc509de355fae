// Keys and lines from one buffer over standard input.
//
// The key reader and the line reader share this buffer, so a byte typed or
// piped ahead is never lost or taken out of turn between them. The terminal
// stays in key mode throughout: the line editor below echoes and edits itself,
// because switching the kernel back to line mode would turn keys already
// queued into a line nobody typed, and its erase knows nothing of wide text.
#include "support/input.h"

#include <optional>

#include "support/functions.h"

namespace Game {
namespace {

// ---- The input buffer ---------------------------------------------------------

struct InputBuffer {
    std::string bytes;     // read from standard input, not yet taken
    std::size_t next = 0;  // index of the next byte to take
    bool afterCR = false;  // the last byte taken was CR: an LF right after it is the same Enter
};

InputBuffer input;

// Makes sure a byte is buffered; with wait false only if one is already waiting.
bool fill(bool wait) {
    if (input.next < input.bytes.size()) return true;
    if (!wait && !Platform::inputReady()) return false;
    char chunk[4096];
    const std::size_t count = Platform::readInput(chunk, sizeof chunk);
    if (count == 0) return false;  // input has ended, and stays ended
    input.bytes.assign(chunk, count);
    input.next = 0;
    return true;
}

// Drops the LF of a CR LF pair when it is the next byte.
void foldCrLf() {
    if (input.afterCR && input.bytes[input.next] == '\n') ++input.next;
    input.afterCR = false;
}

// The next byte, waiting for one if need be; nothing once input has ended.
std::optional<unsigned char> nextByte() {
    while (fill(true)) {
        foldCrLf();
        if (input.next == input.bytes.size()) continue;
        const auto byte = static_cast<unsigned char>(input.bytes[input.next++]);
        input.afterCR = byte == '\r';
        return byte;
    }
    return std::nullopt;
}

// Whether a byte is in the buffer already; asks the system nothing.
bool byteBuffered() {
    if (input.next == input.bytes.size()) return false;
    foldCrLf();
    return input.next < input.bytes.size();
}

// Whether a byte can be taken without waiting.
bool byteWaiting() {
    while (!byteBuffered())
        if (!fill(false)) return false;
    return true;
}

// ---- Text widths --------------------------------------------------------------

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

std::size_t sequenceLength(unsigned char lead) {
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    if (lead >= 0xC0) return 2;
    return 1;
}

char32_t decode(std::string_view sequence) {
    const auto lead = static_cast<unsigned char>(sequence[0]);
    if (sequence.size() == 1) return lead;
    char32_t value = lead & (0x7F >> sequence.size());
    for (std::size_t i = 1; i < sequence.size(); ++i)
        value = (value << 6) | (static_cast<unsigned char>(sequence[i]) & 0x3F);
    return value;
}

// Terminal columns a character takes: two for East Asian wide and fullwidth
// text, none for combining marks, one otherwise.
int columnsOf(char32_t c) {
    if ((c >= 0x0300 && c <= 0x036F) || (c >= 0x200B && c <= 0x200F) ||
        (c >= 0xFE00 && c <= 0xFE0F))
        return 0;
    const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) ||
                      (c >= 0x3041 && c <= 0x33FF) || (c >= 0x3400 && c <= 0x4DBF) ||
                      (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
                      (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
                      (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                      (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) ||
                      (c >= 0x1F900 && c <= 0x1F9FF) || (c >= 0x20000 && c <= 0x3FFFD);
    return wide ? 2 : 1;
}

// ---- The line editor ----------------------------------------------------------

constexpr unsigned char CTRL_H = 0x08;
constexpr unsigned char CTRL_U = 0x15;
constexpr unsigned char ESCAPE = 0x1B;
constexpr unsigned char DELETE = 0x7F;

// Removes the last whole character of line and its columns on screen.
void eraseLast(std::string& line) {
    std::size_t start = line.size() - 1;
    while (start > 0 && line.size() - start < 4 &&
           isContinuation(static_cast<unsigned char>(line[start])))
        --start;
    // A broken sequence is erased a byte at a time, as the terminal showed it.
    const auto lead = static_cast<unsigned char>(line[start]);
    if (sequenceLength(lead) != line.size() - start) start = line.size() - 1;
    const int columns = columnsOf(decode(std::string_view(line).substr(start)));
    line.resize(start);
    for (int i = 0; i < columns; ++i) print("\b \b");
}

// Arrow and function keys arrive as ESC [ ... or ESC O ...; they edit nothing,
// so what of the sequence has already arrived is dropped unseen.
void skipEscapeSequence() {
    if (!byteWaiting()) return;
    const char introducer = input.bytes[input.next];
    if (introducer != '[' && introducer != 'O') return;
    ++input.next;
    while (byteWaiting()) {
        const auto byte = static_cast<unsigned char>(input.bytes[input.next++]);
        if (byte >= 0x40 && byte <= 0x7E) return;
    }
}

void editLine(std::string& line, unsigned char byte) {
    if (byte == DELETE || byte == CTRL_H) {
        if (!line.empty()) eraseLast(line);
    } else if (byte == CTRL_U) {
        while (!line.empty()) eraseLast(line);
    } else if (byte == ESCAPE) {
        skipEscapeSequence();
    } else if (byte >= 0x20 && line.size() < MAX_LINE) {
        line += static_cast<char>(byte);
        print(std::string_view(&line.back(), 1));
    }
}

}  // namespace

// ---- Keys ---------------------------------------------------------------------

bool keyPressed() { return byteWaiting(); }

int readKey() {
    const auto byte = nextByte();
    if (!byte) Platform::quit(0);
    return *byte == '\n' ? ENTER : *byte;
}

void waitKey() { readKey(); }

// ---- Pauses -------------------------------------------------------------------

void pauseUnlessHurried(Platform::Clock::time_point deadline) {
    // The writer has just looked for a key: only the buffer needs a second look.
    while (!byteBuffered()) {
        if (!Platform::waitInputUntil(deadline)) return;            // the deadline came first
        if (!byteWaiting()) return Platform::sleepUntil(deadline);  // input has ended
    }
    if (!hurries(input.bytes[input.next])) Platform::sleepUntil(deadline);
}

// ---- Lines --------------------------------------------------------------------

std::string readLine() {
    const bool editing = Platform::inputIsTerminal();
    std::string line;
    while (const auto byte = nextByte()) {
        if (*byte == '\r' || *byte == '\n') {
            if (editing) print("\n");
            return line;
        }
        if (editing) {
            editLine(line, *byte);
        } else if (line.size() < MAX_LINE) {
            line += static_cast<char>(*byte);
        }
    }
    return line;
}

}  // namespace Game
