// Terminal control, output and paced text.
#include "support/functions.h"

#include <fmt/format.h>

#include <cstdlib>

#include "support/input.h"
#include "support/platform.h"
#include "support/text.h"

namespace Game {

// ---- Console set-up -----------------------------------------------------------

void prepareConsole() { Platform::prepareConsole(); }

void quit(int code) { Platform::quit(code); }

void enableANSI() { Platform::enableVirtualTerminal(); }

// ---- Terminal control ---------------------------------------------------------

void moveCursor(short x, short y) { print(fmt::format("\033[{};{}H", y, x)); }

void editTitle(const std::string& s) { print("\033]0;" + s + "\a"); }

void editWinLength(int x) {
    if (x == 80) print("\033[?3l");
    if (x == 132) print("\033[?3h");
}

// ---- Output -------------------------------------------------------------------

namespace {

// What the terminal has been told: the attribute sequences in effect, and
// where the cursor stands on its row. The bytes of an escape sequence or a
// character whose last bytes are still to come are held until then, so the
// console only ever gets whole ones. A suspend resets the attributes for the
// shell's lines; when the game is back they are written again before its next
// byte, so a title stopped half way goes on bold. It also keeps the last line
// that holds text, for a reader to show again below the shell's lines.
struct Pen {
    std::string attributes;  // SGR sequences since the last reset
    std::string unfinished;  // an escape sequence or a character begun
    unsigned resumes = 0;    // the console's resumes when last written to
    Text::Row row;           // the cursor's column, and the width it wraps at
    char lastByte = '\n';    // the last byte the console was told
    std::string recent;      // the last line with text, from its start, and the line ends after it
    bool lineHasText = false;  // the cursor's line holds text: recent ends with it
    std::string lineStyle;     // attributes set on the cursor's line before its text
};

Pen pen;

// More is no sequence or character the game writes: out as it is.
constexpr std::size_t LONGEST_UNIT = 256;

// Where the ways out need a line feed to leave the shell a line of its own:
// the column where the kit knows it, else whether the last byte was a line feed.
bool cursorAtLineStart() { return pen.row.column ? *pen.row.column == 0 : pen.lastByte == '\n'; }

// A finished escape sequence: attributes are kept, a reset clears them. Any
// other (a clear, a cursor move) leaves no line to show again.
void noteSequence(std::string_view sequence) {
    const bool style = sequence.size() >= 3 && sequence[1] == '[' && sequence.back() == 'm';
    if (!style) {
        pen.recent.clear();
        pen.lineHasText = false;
        pen.lineStyle.clear();
        return;
    }
    (pen.lineHasText ? pen.recent : pen.lineStyle) += sequence;
    const std::string_view parameters = sequence.substr(2, sequence.size() - 3);
    if (parameters.empty() || parameters == "0" || parameters.starts_with("0;"))
        pen.attributes.clear();
    if (!parameters.empty() && parameters != "0") pen.attributes += sequence;
}

// A character of text: a line with text replaces the last one kept.
void noteText(std::string_view character) {
    if (character == "\n") {
        if (!pen.recent.empty()) pen.recent += character;
        pen.lineHasText = false;
        pen.lineStyle.clear();
    } else if (!pen.lineHasText) {
        pen.recent = pen.lineStyle;
        pen.recent += character;
        pen.lineHasText = true;
    } else {
        pen.recent += character;
    }
}

void noteUnit(std::string_view unit) {
    if (unit[0] == '\033') {
        noteSequence(unit);
    } else {
        noteText(unit);
    }
}

// What the console is told for text[from, to): whole characters and escape
// sequences, set in rows unless `set` is false. The rest of text after `to`
// is looked ahead at, to see whether the piece that follows fits the row.
std::string setOut(std::string_view text, std::size_t from, std::size_t to, bool set) {
    std::string out;
    const std::string_view given = text.substr(0, to);
    for (std::size_t i = from; i < to;) {
        const std::size_t whole = pen.unfinished.empty() ? Text::unitLength(given, i) : 0;
        if (whole > 0) {  // the common case, a unit all in what is given
            const std::string_view unit = given.substr(i, whole);
            pen.row.set(out, unit, text.substr(i + whole), pen.attributes, set);
            noteUnit(unit);
            i += whole;
            continue;
        }
        pen.unfinished += text[i++];
        while (!pen.unfinished.empty()) {
            std::size_t length = Text::unitLength(pen.unfinished, 0);
            if (length == 0 && pen.unfinished.size() < LONGEST_UNIT) break;
            if (length == 0) length = pen.unfinished.size();
            const std::string unit = pen.unfinished.substr(0, length);
            pen.unfinished.erase(0, length);
            const std::string_view after = pen.unfinished.empty() ? text.substr(i) : "";
            pen.row.set(out, unit, after, pen.attributes, set);
            noteUnit(unit);
        }
    }
    return out;
}

// Writes text[from, to) as setOut makes it. A resize or a resume loses the
// cursor: the terminal may have moved it meanwhile.
void write(std::string_view text, std::size_t from, std::size_t to, bool set) {
    if (from >= to) return;
    std::string out;
    if (Platform::resumes() != pen.resumes) {
        pen.resumes = Platform::resumes();
        pen.row.column.reset();
        out = pen.attributes;
    }
    const int width = Platform::windowSize().columns;
    if (width != pen.row.width) {
        pen.row.width = width;
        pen.row.column.reset();
    }
    out += setOut(text, from, to, set);
    if (out.empty()) return;
    pen.lastByte = out.back();
    // Told before the write: a signal is often taken the moment the write
    // returns, when the terminal's reader answers it at once.
    Platform::noteMidLine(!cursorAtLineStart());
    const Platform::Written written = Platform::writeOutput(out.data(), out.size());
    // Nobody is left to read the story: end as quietly as on closed input. A
    // write that failed otherwise (a full disk) is no success.
    if (written == Platform::Written::CLOSED) Platform::quit(0);
    if (written == Platform::Written::FAILED) Platform::quit(EXIT_FAILURE);
}

}  // namespace

void print(std::string_view text) { write(text, 0, text.size(), true); }

void printAsTyped(std::string_view text) { write(text, 0, text.size(), false); }

std::optional<int> outputColumn() { return pen.row.column; }

namespace {

// The rest of a hurried text: no pauses are left, so the bytes go out in one
// write, and as many waiting keys are dropped as a byte-at-a-time loop would
// have taken, one per byte. A 10 KiB page appears at once instead of after ten
// thousand one-byte writes.
void finishHurried(std::string_view text, std::size_t from) {
    write(text, from, text.size(), true);
    for (std::size_t left = text.size() - from; left > 0 && keyPressed(); --left) readKey();
}

// After each byte: takes one waiting key, and tells whether it hurries the
// text. Once input has ended nobody can press a key any more, so the rest of
// the text goes out at once rather than at a pace nobody can change.
bool hurriedAfterByte() {
    if (keyPressed()) return hurries(readKey());
    return inputEnded();
}

}  // namespace

// Periods late before the schedule gives up catching up.
constexpr int STALL = 5;

void slowOutput(const std::string& s, unsigned sleepTime, bool canSkip) {
    const auto period = std::chrono::milliseconds(sleepTime);
    auto deadline = Platform::now();
    for (std::size_t i = 0; i < s.size(); ++i) {
        // One byte a step; a character or sequence appears at its last byte's,
        // with the padding that ends a row early before it.
        write(s, i, i + 1, true);
        if (canSkip && hurriedAfterByte()) return finishHurried(s, i + 1);
        if (sleepTime == 0) continue;
        // Pause to a schedule rather than for a span, so per-byte overhead and a
        // late byte now and then never add up. After a stall (a terminal that
        // stopped reading, a tab held back) start a fresh schedule instead of
        // bursting out the bytes we are late with.
        deadline += period;
        const auto now = Platform::now();
        if (now - deadline > STALL * period) deadline = now + period;
        // A key in the last pause is for whoever reads next: that pause runs out.
        if (canSkip && i + 1 < s.size()) {
            pauseUnlessHurried(deadline);
        } else {
            Platform::sleepUntil(deadline);
        }
    }
}

// ---- Keys on screen -----------------------------------------------------------

char selector(char& to, const std::string& items) {
    if (items.empty()) return 0;
    char answer = items.front();
    unsigned resumes = Platform::resumes();
    print(std::string_view(&answer, 1));
    // Every choice prompt ends with 》: after a suspend the shell's lines stand
    // below it, so the letter that Backspace replaces is shown where the player looks.
    const Refresh refresh = [&](bool /*keyNext*/) -> std::optional<Platform::Clock::time_point> {
        if (Platform::resumes() == resumes) return std::nullopt;
        resumes = Platform::resumes();
        print("\n》" + std::string(1, answer));
        return std::nullopt;
    };
    for (int key = readKey(refresh); key != ENTER; key = readKey(refresh)) {
        const auto found = items.find(static_cast<char>(key));
        if (found == std::string::npos) continue;
        answer = items[found];
        const char replace[] = {'\b', answer};
        print(std::string_view(replace, sizeof replace));
    }
    to = answer;
    return answer;
}

// After a suspend the shell's lines stand below the prompt that asked for the
// key: it is shown again where the player looks.
void waitKey() {
    unsigned resumes = Platform::resumes();
    const Refresh refresh = [&](bool /*keyNext*/) -> std::optional<Platform::Clock::time_point> {
        if (Platform::resumes() == resumes) return std::nullopt;
        resumes = Platform::resumes();
        print("\n" + pen.recent);
        return std::nullopt;
    };
    readKey(refresh);
}

// ---- Time ---------------------------------------------------------------------

void sleepFor(unsigned milliseconds) {
    Platform::sleepUntil(Platform::now() + std::chrono::milliseconds(milliseconds));
}

}  // namespace Game
