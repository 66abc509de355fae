// Keys and lines from one buffer over standard input.
//
// The key reader and the line reader share this buffer, so a byte typed or
// piped ahead is never lost or taken out of turn between them. The terminal
// stays in key mode throughout: the line editor below echoes and edits itself,
// because switching the kernel back to line mode would turn keys already
// queued into a line nobody typed, and its erase knows nothing of wide text
// or of lines that wrap.
#include "support/input.h"

#include <algorithm>
#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "support/functions.h"
#include "support/text.h"

namespace Game {
namespace {

using Platform::Clock;
using Platform::Wake;

// ---- The input buffer ---------------------------------------------------------

struct InputBuffer {
    std::string bytes;     // read from standard input, not yet taken
    std::size_t next = 0;  // index of the next byte to take
    bool afterCR = false;  // the last byte taken was CR: an LF right after it is the same Enter
    bool ended = false;    // the last read found the input ended
    std::string held;      // a key taken to look past the reports before it, not yet read
};

InputBuffer input;

// Makes sure a byte is buffered; with wait false only if one is already waiting.
bool fill(bool wait) {
    if (input.next < input.bytes.size()) return true;
    if (!wait && Platform::waitInput(Platform::now()) != Wake::INPUT) return false;
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

// Whether a byte can be taken without waiting.
bool byteWaiting() {
    while (!byteBuffered())
        if (!fill(false)) return false;
    return true;
}

unsigned char peek() { return static_cast<unsigned char>(input.bytes[input.next]); }

unsigned char take() {
    const unsigned char byte = peek();
    ++input.next;
    input.afterCR = byte == '\r';
    return byte;
}

// ---- Keys ---------------------------------------------------------------------
// A key is what one key press sends: one character, whole, or one escape
// sequence, whole (an arrow, a function key, a terminal's report). Its bytes
// come together; a byte later than a moment after the key began belongs to
// the next key, so Escape pressed alone is a key of its own.

constexpr unsigned char ESCAPE = 0x1B;
constexpr unsigned char BELL = 0x07;
constexpr unsigned char DELETE_KEY = 0x7F;
constexpr auto STRAGGLER = std::chrono::milliseconds(30);
constexpr std::size_t LONGEST_REPORT = 4096;  // a terminal's report runs no longer

// The next byte of a key begun, if it comes within a moment; not yet taken.
std::optional<unsigned char> tail() {
    const auto until = Platform::now() + STRAGGLER;
    while (!byteBuffered()) {
        if (input.ended) return std::nullopt;
        const Wake wake = Platform::waitInput(until);
        if (wake == Wake::DEADLINE) return std::nullopt;
        if (wake == Wake::INPUT && !fill(true)) return std::nullopt;
    }
    return peek();
}

bool isParameter(unsigned char byte) { return byte >= 0x20 && byte <= 0x3F; }

void takeCharacterTail(std::string& key) {
    const std::size_t length = Text::sequenceLength(static_cast<unsigned char>(key[0]));
    for (auto byte = tail(); key.size() < length && byte && Text::isContinuation(*byte);
         byte = tail())
        key += static_cast<char>(take());
}

// CSI and SS3: parameters, then one final byte. Anything else ends it early
// and starts the next key.
void takeControlSequence(std::string& key) {
    for (auto byte = tail(); byte && (isParameter(*byte) || Text::isFinal(*byte)); byte = tail()) {
        key += static_cast<char>(take());
        if (Text::isFinal(*byte)) return;
    }
}

// OSC, DCS and their kind: text up to BEL or ESC \, as a terminal reports a
// colour or a setting.
void takeControlString(std::string& key) {
    while (key.size() < LONGEST_REPORT) {
        const auto byte = tail();
        if (!byte || (*byte < 0x20 && *byte != BELL && *byte != ESCAPE)) return;
        key += static_cast<char>(take());
        if (*byte == BELL) return;
        if (*byte == ESCAPE) {
            if (tail() == '\\') key += static_cast<char>(take());
            return;
        }
    }
}

// An old-style mouse report: ESC [ M and three raw bytes.
void takeMouseReport(std::string& key) {
    key += static_cast<char>(take());
    for (int i = 0; i < 3 && tail(); ++i) key += static_cast<char>(take());
}

// The Linux console's F1 to F5: ESC [ [ and a letter.
void takeConsoleFunctionKey(std::string& key) {
    key += static_cast<char>(take());
    if (const auto letter = tail(); letter && Text::isFinal(*letter))
        key += static_cast<char>(take());
}

void takeEscapeTail(std::string& key) {
    // Escape alone, when another Escape or a control follows: Enter right
    // after Escape is still Enter.
    const auto introducer = tail();
    if (!introducer || *introducer < 0x20 || *introducer == DELETE_KEY) return;
    key += static_cast<char>(take());
    switch (*introducer) {
        case '[':
            if (tail() == 'M') return takeMouseReport(key);
            if (tail() == '[') return takeConsoleFunctionKey(key);
            return takeControlSequence(key);
        case 'O': return takeControlSequence(key);
        case ']':
        case 'P':
        case '_':
        case '^':
        case 'X': return takeControlString(key);
        default:  // Alt and a key: ESC, then the key's character
            if (Text::sequenceLength(*introducer) > 1) {
                std::string character(1, key.back());
                takeCharacterTail(character);
                key += character.substr(1);
            }
    }
}

// The key whose first byte is buffered.
std::string takeKey() {
    const unsigned char first = take();
    std::string key(1, static_cast<char>(first));
    if (first == ESCAPE) {
        takeEscapeTail(key);
    } else if (Text::sequenceLength(first) > 1) {
        takeCharacterTail(key);
    }
    return key;
}

// What a terminal sends of itself rather than for a key: a string (a colour,
// a setting), a mouse or focus report, an answer to a question (its identity,
// a mode) with a private marker or an intermediate byte. A terminal left in
// such a mode by another program sends them unasked.
bool isReport(std::string_view key) {
    if (key.size() < 2 || key[0] != '\033') return false;
    if (std::string_view("]P_^X").find(key[1]) != std::string_view::npos) return true;
    if (key[1] != '[' || key.size() < 3) return false;
    const std::string_view parameters = key.substr(2, key.size() - 3);
    const char final = key.back();
    const bool marked = !parameters.empty() && parameters[0] >= '<' && parameters[0] <= '?';
    const bool intermediate = std::any_of(parameters.begin(), parameters.end(),
                                          [](char c) { return c >= 0x20 && c <= 0x2F; });
    const bool focus = parameters.empty() && (final == 'I' || final == 'O');
    return marked || intermediate || focus || key.starts_with("\033[M") || final == 'M' ||
           final == 'm' || final == 'c' || final == 'n' || final == 't';
}

bool keyBuffered() { return !input.held.empty() || byteBuffered(); }

// The next key, waiting for one if need be; nothing once input has ended.
// With a refresh, a change of the console while it waits is shown first.
// Reports are no key press: they are dropped whole.
std::optional<std::string> nextKey(const Refresh& refresh = nullptr) {
    for (;;) {
        while (!keyBuffered()) {
            if (refresh && Platform::waitInput(refresh(false)) != Wake::INPUT) continue;
            if (!fill(true)) return std::nullopt;
        }
        if (refresh) refresh(true);
        std::string key = input.held.empty() ? takeKey() : std::exchange(input.held, {});
        if (!isReport(key)) return key;
    }
}

// ---- The line editor ----------------------------------------------------------

constexpr unsigned char CTRL_H = 0x08;
constexpr unsigned char CTRL_U = 0x15;

// A window dragged to a new size sends many sizes in a short time: the line
// is drawn again once the size has stayed the same this long, or at the next key.
constexpr auto SETTLE = std::chrono::milliseconds(100);

// A place on screen, its row counted from the row the prompt starts on. A
// column equal to the width is past the margin: a terminal keeps the cursor
// there until the next character, which goes to the start of the next row.
struct Spot {
    int row = 0;
    int column = 0;
    bool operator==(const Spot&) const = default;
};

// One character of the line: where its bytes start, the columns it takes, and
// where the cursor stands after it, so an erase needs no walk along the line.
struct Glyph {
    std::size_t start;
    int columns;
    Spot end;
};

// One line typed at a terminal, kept equal on screen to what is in the buffer
// at any size: the cursor only ever stands at the end of the line, so the
// editor appends, erases the last character, or draws the whole line again.
// The line never grows taller than the window, where the rows it started on
// would scroll out of reach.
class LineEditor {
  public:
    explicit LineEditor(std::string_view prompt)
        : prompt_(prompt),
          resumes_(Platform::resumes()),
          drawn_(Platform::windowSize()),
          seen_(drawn_) {
        layOut();
        draw(shownPrompt_);
    }

    std::string line;  // what has been typed

    void edit(std::string_view key) {
        const auto first = static_cast<unsigned char>(key[0]);
        if (key.size() == 1 && (first == DELETE_KEY || first == CTRL_H)) {
            if (!glyphs_.empty()) eraseLast();
        } else if (key.size() == 1 && first == CTRL_U) {
            while (!glyphs_.empty()) eraseLast();
        } else {
            const Text::Character character = Text::characterAt(key, 0);
            // Controls, C1 ones too, escape sequences and broken bytes are no text.
            if (!character.valid || character.size != key.size() || Text::isControl(character.code))
                return;
            const int columns = Text::columnsOf(character.code);
            if (columns > 0) {
                append(key, columns);
            } else {
                attach(key);
            }
        }
    }

    // After a resume the shell's lines stand where the prompt was: the line
    // again, on a fresh one. After a change of size, once it has settled, the
    // line again in place.
    std::optional<Clock::time_point> refresh(bool keyNext) {
        if (Platform::resumes() != resumes_) {
            resumes_ = Platform::resumes();
            drawn_ = seen_ = Platform::windowSize();
            layOut();
            draw("\n");
            draw(shownPrompt_);
            draw(line);
            flush();
            return std::nullopt;
        }
        // Keys read together were typed before any change since: one look at
        // the size does for them all, as a console answers slowly.
        if (keyNext && input.next > 0) return std::nullopt;
        const Platform::WindowSize size = Platform::windowSize();
        const auto now = Platform::now();
        if (size != seen_) {
            seen_ = size;
            seenAt_ = now;
        }
        if (size == drawn_) return std::nullopt;
        if (!keyNext && now < seenAt_ + SETTLE) return seenAt_ + SETTLE;
        redrawInPlace(size);
        flush();
        return std::nullopt;
    }

    // Writes what the edits drew, in one write however many keys made it:
    // the prompt as already set, the typed text as the player typed it.
    void flush() {
        printAsTyped(out_);
        out_.clear();
    }

  private:
    std::string_view prompt_;
    std::string shownPrompt_;     // the prompt as set in rows of the width drawn_
    unsigned resumes_;            // the console's resumes when the line was last drawn
    Platform::WindowSize drawn_;  // the size the line is laid out for
    Platform::WindowSize seen_;   // the newest size seen, maybe still settling
    Clock::time_point seenAt_;    // when it was first seen
    int width_ = INT_MAX;         // columns; a width nobody knows never wraps
    int height_ = INT_MAX;        // rows the typed text may take
    Spot origin_;                 // where the line starts, right after the prompt
    std::vector<Glyph> glyphs_;   // the line's characters, in order
    std::optional<Spot> parked_;  // where an erase left the cursor, when not at the end
    std::string out_;             // drawn, not yet written

    void draw(std::string_view bytes) { out_ += bytes; }

    Spot end() const { return glyphs_.empty() ? origin_ : glyphs_.back().end; }

    // Where the cursor stands after a character written at `at`, as a terminal
    // places it: a wide character that does not fit leaves the last column blank.
    Spot advance(Spot at, int columns) const {
        if (columns == 0) return at;
        if (at.column + columns > width_) at = {at.row + 1, 0};
        at.column += columns;
        return at;
    }

    // The line's places for the size drawn_, dropping what the window cannot
    // show. Returns the row the whole line ended on before any was dropped.
    int layOut() {
        width_ = drawn_.columns >= 2 ? drawn_.columns : INT_MAX;
        height_ = drawn_.rows >= 2 ? drawn_.rows : INT_MAX;
        origin_ = {};
        shownPrompt_ = Text::setFromRowStart(prompt_, drawn_.columns);
        for (std::size_t i = 0; i < shownPrompt_.size();) {
            const std::size_t length = std::max<std::size_t>(Text::unitLength(shownPrompt_, i), 1);
            const Text::Character character = Text::characterAt(shownPrompt_, i);
            if (shownPrompt_[i] != '\033' && !Text::isControl(character.code))
                origin_ = advance(origin_, Text::columnsOf(character.code));
            i += length;
        }
        Spot at = origin_;
        std::size_t fits = glyphs_.size();
        for (std::size_t i = 0; i < glyphs_.size(); ++i) {
            at = advance(at, glyphs_[i].columns);
            glyphs_[i].end = at;
            if (at.row - origin_.row >= height_) fits = std::min(fits, i);
        }
        if (fits < glyphs_.size()) {
            line.resize(glyphs_[fits].start);
            glyphs_.resize(fits);
        }
        parked_.reset();
        return at.row;
    }

    void append(std::string_view character, int columns) {
        const Spot at = advance(end(), columns);
        if (at.row - origin_.row >= height_ || line.size() + character.size() > MAX_LINE) return;
        glyphs_.push_back({line.size(), columns, at});
        line += character;
        draw(character);
        parked_.reset();
    }

    // A character of no columns (a combining mark, a variation selector) is
    // drawn with the one before it, and goes with it: one Backspace erases
    // both, as the terminal shows them as one. Before any it has nothing to
    // sit on, and is dropped.
    void attach(std::string_view mark) {
        if (glyphs_.empty() || line.size() + mark.size() > MAX_LINE) return;
        line += mark;
        draw(mark);
    }

    // From the cursor's place to another, up the rows and along the row.
    void moveCursor(Spot from, Spot to) {
        if (from.row > to.row) draw("\033[" + std::to_string(from.row - to.row) + "A");
        draw("\r");
        if (to.column > 0) draw("\033[" + std::to_string(to.column) + "C");
    }

    // Removes the last whole character of the line and its columns on screen.
    void eraseLast() {
        const Glyph last = glyphs_.back();
        glyphs_.pop_back();
        const Spot cursor = parked_.value_or(last.end);
        line.resize(last.start);
        const Spot before = end();
        const Spot from{last.end.row, last.end.column - last.columns};  // its first cell
        if (cursor == last.end && last.end.column < width_) {
            for (int i = 0; i < last.columns; ++i) draw("\b \b");
        } else {  // past the margin, where a backspace means different things to terminals
            moveCursor(cursor, from);
            draw("\033[K");
        }
        parked_ = from;
        // It had wrapped: the next character goes back to the row above, unless
        // that row is full, in which case it would come here anyway.
        if (before.row < from.row && before.column < width_) {
            moveCursor(from, before);
            parked_ = before;
        }
    }

    // Terminals rewrap a line to a new width, the cursor's own too (the
    // browser page asks its emulator to), and the cursor ends up on the line's
    // last row: from the first row, the prompt and the line again. A line that
    // stood on one row and still fits has not moved at all.
    void redrawInPlace(Platform::WindowSize size) {
        const int rowsBefore = end().row;
        drawn_ = size;
        const int rowsNow = layOut();
        if (rowsBefore == 0 && rowsNow == 0) return;
        draw("\r");
        if (rowsNow > 0) draw("\033[" + std::to_string(rowsNow) + "A");
        draw("\033[J");
        draw(shownPrompt_);
        draw(line);
    }
};

// A line from a pipe or a file: no echo, no editing; held to MAX_LINE bytes
// that end at a character's end.
std::string pipedLine() {
    std::string line;
    bool full = false;
    while (byteBuffered() || fill(true)) {
        const unsigned char byte = take();
        if (byte == '\r' || byte == '\n') break;
        if (line.size() < MAX_LINE) {
            line += static_cast<char>(byte);
        } else {
            full = true;
        }
    }
    if (full) {  // the cap may have cut the last character short
        std::size_t start = line.size();
        while (start > 0 && Text::isContinuation(static_cast<unsigned char>(line[start - 1])))
            --start;
        if (start > 0 && Text::sequenceLength(static_cast<unsigned char>(line[start - 1])) >
                             line.size() - start + 1)
            line.resize(start - 1);
    }
    return line;
}

}  // namespace

// ---- Keys ---------------------------------------------------------------------

// Reports waiting are taken off now, so a reader told a key is there never
// waits behind one.
bool keyPressed() {
    while (input.held.empty() && byteWaiting()) {
        if (peek() != ESCAPE) return true;
        std::string key = takeKey();
        if (!isReport(key)) input.held = std::move(key);
    }
    return !input.held.empty();
}

bool inputEnded() { return input.ended && !keyBuffered(); }

int readKey(const Refresh& refresh) {
    const auto key = nextKey(refresh);
    if (!key) Platform::quit(0);
    const auto first = static_cast<unsigned char>((*key)[0]);
    return first == '\n' ? ENTER : first;
}

int readKey() { return readKey(nullptr); }

// ---- Pauses -------------------------------------------------------------------

void pauseUnlessHurried(Clock::time_point deadline) {
    // The writer has just looked for a key: only the buffer needs a second look.
    while (!keyBuffered()) {
        const Wake wake = Platform::waitInput(deadline);
        if (wake == Wake::DEADLINE) return;
        if (wake == Wake::INPUT && !byteWaiting()) return;  // input has ended
    }
    if (!input.held.empty() || !hurries(peek())) Platform::sleepUntil(deadline);
}

// ---- Lines --------------------------------------------------------------------

std::string readLine(std::string_view prompt) {
    if (!Platform::inputIsTerminal()) {
        print(prompt);
        return pipedLine();
    }
    LineEditor editor(prompt);  // draws the prompt, set for the window's width
    editor.flush();
    const Refresh refresh = [&editor](bool keyNext) { return editor.refresh(keyNext); };
    while (const auto key = nextKey(refresh)) {
        if (*key == "\r" || *key == "\n") {
            editor.flush();
            print("\n");
            break;
        }
        editor.edit(*key);
        if (!byteBuffered()) editor.flush();
    }
    editor.flush();
    return editor.line;
}

}  // namespace Game
