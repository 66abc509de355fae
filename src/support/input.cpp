// Keys and lines from one buffer over standard input.
//
// The key reader and the line reader share this buffer, so a byte typed or
// piped ahead is never lost or taken out of turn between them. The terminal
// stays in key mode throughout: the line editor below echoes and edits itself,
// because switching the kernel back to line mode would turn keys already
// queued into a line nobody typed, and its erase knows nothing of wide text
// or of lines that wrap.
#include "support/input.h"

#include <climits>
#include <optional>
#include <string>

#include "support/functions.h"

namespace Game {
namespace {

// ---- The input buffer ---------------------------------------------------------

struct InputBuffer {
    std::string bytes;     // read from standard input, not yet taken
    std::size_t next = 0;  // index of the next byte to take
    bool afterCR = false;  // the last byte taken was CR: an LF right after it is the same Enter
    bool ended = false;    // the last read found the input ended
};

InputBuffer input;

// Makes sure a byte is buffered; with wait false only if one is already waiting.
bool fill(bool wait) {
    if (input.next < input.bytes.size()) return true;
    if (!wait && !Platform::inputReady()) return false;
    char chunk[4096];
    const std::size_t count = Platform::readInput(chunk, sizeof chunk);
    input.ended = count == 0;
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

// Whether a byte is in the buffer already; asks the system nothing.
bool byteBuffered() {
    if (input.next == input.bytes.size()) return false;
    foldCrLf();
    return input.next < input.bytes.size();
}

// The next byte, waiting for one if need be; nothing once input has ended.
// With a redraw, the wait can be interrupted, and redraw runs before each byte.
std::optional<unsigned char> nextByte(const Redraw& redraw = nullptr) {
    for (;;) {
        if (redraw) redraw();
        if (byteBuffered()) break;
        if (redraw && !Platform::waitInput()) continue;
        if (!fill(true)) return std::nullopt;
    }
    const auto byte = static_cast<unsigned char>(input.bytes[input.next++]);
    input.afterCR = byte == '\r';
    return byte;
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

// Bytes of the character that starts at `at`: a whole UTF-8 sequence, or one
// byte of a broken one, which the terminal shows as a character of its own.
std::size_t characterLength(std::string_view text, std::size_t at) {
    const std::size_t length = sequenceLength(static_cast<unsigned char>(text[at]));
    if (at + length > text.size()) return 1;
    for (std::size_t i = at + 1; i < at + length; ++i)
        if (!isContinuation(static_cast<unsigned char>(text[i]))) return 1;
    return length;
}

int columnsAt(std::string_view text, std::size_t at) {
    return columnsOf(decode(text.substr(at, characterLength(text, at))));
}

// ---- The line editor ----------------------------------------------------------

constexpr unsigned char CTRL_H = 0x08;
constexpr unsigned char CTRL_U = 0x15;
constexpr unsigned char ESCAPE = 0x1B;
constexpr unsigned char DELETE = 0x7F;

// A place on screen, its row counted from the row the prompt starts on. A
// column equal to the width is past the margin: a terminal keeps the cursor
// there until the next character, which goes to the start of the next row.
struct Spot {
    int row = 0;
    int column = 0;
    bool operator==(const Spot&) const = default;
};

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

// One line typed at a terminal, kept equal on screen to what is in the buffer
// at any width: the cursor only ever stands at the end of the line, so the
// editor appends, erases the last character, or draws the whole line again.
class LineEditor {
  public:
    explicit LineEditor(std::string_view prompt) : prompt_(prompt), resumes_(Platform::resumes()) {
        measure();
    }

    std::string line;  // what has been typed

    void edit(unsigned char byte) {
        if (byte == DELETE || byte == CTRL_H) {
            if (!line.empty()) eraseLast();
        } else if (byte == CTRL_U) {
            while (!line.empty()) eraseLast();
        } else if (byte == ESCAPE) {
            skipEscapeSequence();
        } else if (byte >= 0x20 && line.size() < MAX_LINE) {
            line += static_cast<char>(byte);
            print(std::string_view(&line.back(), 1));
            parked_.reset();
        }
    }

    // After a resume the shell's lines stand where the prompt was, and after a
    // change of width the terminal may have moved the rows: the line again, on
    // a fresh one. A resize that keeps the width changes nothing.
    void redrawIfChanged() {
        const bool resumed = Platform::resumes() != resumes_;
        const int width = width_;
        if (Platform::resizes() != resizes_) measure();
        if (!resumed && width_ == width) return;
        resumes_ = Platform::resumes();
        print("\n");
        print(prompt_);
        print(line);
        parked_.reset();
    }

  private:
    std::string_view prompt_;
    unsigned resumes_;            // the console's resumes when the line was last drawn
    unsigned resizes_ = 0;        // its resizes when the width was last measured
    int width_ = INT_MAX;         // columns; a width nobody knows never wraps
    Spot origin_;                 // where the line starts, right after the prompt
    std::optional<Spot> parked_;  // where an erase left the cursor, when not at the end

    void measure() {
        resizes_ = Platform::resizes();
        const int columns = Platform::columns();
        width_ = columns >= 2 ? columns : INT_MAX;
        origin_ = advance(Spot{}, prompt_);
    }

    // Where the cursor stands after text written from `at`, as a terminal
    // places it: a wide character that does not fit leaves the last column blank.
    Spot advance(Spot at, std::string_view text) const {
        for (std::size_t i = 0; i < text.size(); i += characterLength(text, i)) {
            const int columns = columnsAt(text, i);
            if (columns == 0) continue;
            if (at.column + columns > width_) at = {at.row + 1, 0};
            at.column += columns;
        }
        return at;
    }

    // From the cursor's place to another, up the rows and along the row.
    static void moveCursor(Spot from, Spot to) {
        std::string moves;
        if (from.row > to.row) moves += "\033[" + std::to_string(from.row - to.row) + "A";
        moves += '\r';
        if (to.column > 0) moves += "\033[" + std::to_string(to.column) + "C";
        print(moves);
    }

    // Removes the last whole character of the line and its columns on screen.
    void eraseLast() {
        std::size_t start = 0;
        for (std::size_t i = 0; i < line.size(); i += characterLength(line, i)) start = i;
        const int columns = columnsAt(line, start);
        const Spot end = advance(origin_, line);
        const Spot cursor = parked_.value_or(end);
        line.resize(start);
        if (columns == 0) return;  // a combining mark has no cell of its own
        const Spot before = advance(origin_, line);
        const Spot from{end.row, end.column - columns};  // the character's first cell
        if (cursor == end && end.column < width_) {
            for (int i = 0; i < columns; ++i) print("\b \b");
        } else {  // past the margin, where a backspace means different things to terminals
            moveCursor(cursor, from);
            print("\033[K");
        }
        parked_ = from;
        // It had wrapped: the next character goes back to the row above, unless
        // that row is full, in which case it would come here anyway.
        if (before.row < from.row && before.column < width_) {
            moveCursor(from, before);
            parked_ = before;
        }
    }
};

}  // namespace

// ---- Keys ---------------------------------------------------------------------

bool keyPressed() { return byteWaiting(); }

bool inputEnded() { return input.ended && !byteBuffered(); }

int readKey(const Redraw& redraw) {
    const auto byte = nextByte(redraw);
    if (!byte) Platform::quit(0);
    return *byte == '\n' ? ENTER : *byte;
}

int readKey() { return readKey(nullptr); }

void waitKey() { readKey(); }

// ---- Pauses -------------------------------------------------------------------

void pauseUnlessHurried(Platform::Clock::time_point deadline) {
    // The writer has just looked for a key: only the buffer needs a second look.
    while (!byteBuffered()) {
        if (!Platform::waitInputUntil(deadline)) return;  // the deadline came first
        if (!byteWaiting()) return;                       // input has ended
    }
    if (!hurries(input.bytes[input.next])) Platform::sleepUntil(deadline);
}

// ---- Lines --------------------------------------------------------------------

std::string readLine(std::string_view prompt) {
    print(prompt);
    if (!Platform::inputIsTerminal()) {
        std::string line;
        while (const auto byte = nextByte()) {
            if (*byte == '\r' || *byte == '\n') break;
            if (line.size() < MAX_LINE) line += static_cast<char>(*byte);
        }
        return line;
    }
    LineEditor editor(prompt);
    const Redraw redraw = [&editor] { editor.redrawIfChanged(); };
    while (const auto byte = nextByte(redraw)) {
        if (*byte == '\r' || *byte == '\n') {
            print("\n");
            break;
        }
        editor.edit(*byte);
    }
    return editor.line;
}

}  // namespace Game
