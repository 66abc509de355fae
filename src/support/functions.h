// The console kit: escape sequences, short statement forms, and the handful of
// console operations every screen of a console story needs.
//
// All output goes to standard output unbuffered, so whatever a screen writes is
// visible before the next key is read. All input comes from one buffer over
// standard input, so keys and lines typed ahead are never lost or reordered.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// ---- Escape sequences ---------------------------------------------------------
// Plain literals outside the namespace, so they join neighbouring literals into one
// ("\033[1m" "# Title" "\033[0m").

#define CLEAR "\033[2J\033[0;0H"  // clear the screen, cursor to the top-left cell
#define LLINE "\033[1A"           // cursor up one line
#define NLINE "\033[1B"           // cursor down one line
#define COLOR "\033[0m"           // reset all attributes and colours
#define BOLD "\033[1m"
#define NBOLD "\033[22m"
#define UNDLI "\033[4m"
#define NUNDLI "\033[24m"

#define FBLACK "\033[30m"
#define FRED "\033[31m"
#define FGREEN "\033[32m"
#define FYELLOW "\033[33m"
#define FBLUE "\033[34m"
#define FMAGENTA "\033[35m"
#define FCYAN "\033[36m"
#define FWHITE "\033[37m"
#define FDEFAULT "\033[39m"

#define BBLACK "\033[40m"
#define BRED "\033[41m"
#define BGREEN "\033[42m"
#define BYELLOW "\033[43m"
#define BBLUE "\033[44m"
#define BMAGENTA "\033[45m"
#define BCYAN "\033[46m"
#define BWHITE "\033[47m"
#define BDEFAULT "\033[49m"

// ---- Statement forms ----------------------------------------------------------
// Each expands to a whole statement, terminator included. SHOW is a plain
// slowOutput call: scene files bring namespace Game into scope.

#define WAIT Game::waitKey();
#define SLEP(x) Game::sleepFor(x);
#define SHOW(x) slowOutput(x, 20, true);
#define PRNT(x) Game::print(x);

namespace Game {

// Clear only, no cursor move. Internal linkage: each file has its own copy.
const char screenClear[] = "\033[2J";

// The key code every Enter arrives as, whether the terminal sent CR, LF or both.
constexpr int ENTER = 0x0D;

// ---- Console set-up -----------------------------------------------------------

// Switches the console to UTF-8 and to key mode (no echo, no line buffering).
// The original mode comes back on every way out: quit, exit, the signals that
// end the program, and around a suspend. Calling it again does nothing.
void prepareConsole();

// Ends the program with this exit code, the console put back as it was found:
// the way every way out of the game ends, the end of main included.
[[noreturn]] void quit(int code);

// Asks the console to interpret VT sequences (processed output and VT
// processing bits). Terminals that always do so need nothing.
void enableANSI();

// ---- Terminal control (written at once) ---------------------------------------

void moveCursor(short x, short y);     // "\033[y;xH": row first, then column
void editTitle(const std::string& s);  // window title, "\033]0;" s BEL
void editWinLength(int x);             // 80 or 132 columns; other widths write nothing

// ---- Output -------------------------------------------------------------------

// Writes the bytes at once. A closed output ends the game quietly (exit code 0);
// a write that fails otherwise (a full disk) ends it with a failure status.
// At a terminal whose width is known, text is set as a Chinese page is: where
// a character would cross the margin, the row ends early (spaces to the
// margin) at the last place a line may break, so no row begins with a closing
// or pausing mark or ends with an opening one, and no Latin word is cut. A
// console gets only whole characters and whole escape sequences.
void print(std::string_view text);

// The column the cursor stands in, from what the game has written: 0 after a
// line feed. Nothing where the kit cannot follow it (after a resize, a resume
// or a cursor movement it does not know) until the next line feed.
std::optional<int> outputColumn();

// Writes s one byte at a time, pausing sleepTime ms after each byte, set as
// print sets text; the padding goes out with the character after it. After each
// byte one waiting key is taken: space or Enter hurries the rest of the text,
// any other key is dropped. Keys that come in during the last pause stay waiting.
// Input that has ended hurries the text too: no key can come any more.
// With canSkip false no key is taken and the whole text is paced.
void slowOutput(const std::string& s, unsigned sleepTime, bool canSkip);

// ---- Input --------------------------------------------------------------------

// One choice: shows the first letter of items as the default, replaces it in
// place (backspace, letter) on each key that is an option, returns on Enter.
// After a suspend it shows "》" and the letter again on a fresh line.
// Stores the answer in `to` and returns it; an empty items returns 0 at once.
char selector(char& to, const std::string& items);

// True when a key can be read without waiting.
bool keyPressed();

// Waits for one key and returns its first byte; any Enter comes back as ENTER.
// A key is what one key press sends, taken whole: a character (a Chinese one
// is three bytes, and comes back as its first) or an escape sequence (an arrow
// comes back as ESC). Reports a terminal sends of itself (focus, mouse,
// colours, its identity) are no key and are skipped whole. When input has
// ended, the game ends quietly (exit code 0).
int readKey();

// Waits for one key and drops it. After a suspend the last line with text (the
// prompt that asked for the key) is drawn again below the shell's lines.
void waitKey();

// Writes prompt at the start of a line, then reads one line without its line
// end. On a terminal the typed text is echoed and can be edited (Backspace,
// Ctrl-U) across the rows it wraps onto, a character and its combining marks
// being one; control characters and escape sequences are dropped, and the
// line grows no taller than the window. The prompt and the text are drawn
// again on a fresh line after a suspend, and in place once a new window size
// has settled. A last line without a line end
// still counts; once input has ended, every call yields an empty line. Lines
// are held to MAX_LINE bytes, ending at a character's end, and the rest of a
// longer line is dropped.
std::string readLine(std::string_view prompt = {});
constexpr std::size_t MAX_LINE = 4096;

// ---- Time ---------------------------------------------------------------------

void sleepFor(unsigned milliseconds);

}  // namespace Game
