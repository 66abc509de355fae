// What the console kit asks of the operating system, and nothing more.
//
// One file per platform implements this header: platform_posix.cpp (Linux,
// macOS, the BSDs), platform_windows.cpp (the Windows console) and
// platform_web.cpp (the browser page's terminal); the build links exactly one
// of them. Tests link a scripted one with a virtual clock instead. Everything
// above this seam, keys, Enter handling, the line editor and pacing, is
// shared code.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>

namespace Game::Platform {

using Clock = std::chrono::steady_clock;

// ---- Console mode -------------------------------------------------------------

// Switches to UTF-8 and key mode, and arranges for the mode it found to come
// back on every way out, the window's title too where a terminal keeps a
// stack of them. Only the first call does anything.
void prepareConsole();

// Turns on VT processing for standard output where a console needs asking.
void enableVirtualTerminal();

// True when standard input is an interactive console rather than a pipe or file.
bool inputIsTerminal();

// ---- The console under the game -----------------------------------------------
// Readers that keep something on screen (a choice, a line being typed) compare
// these before and after they wait, and draw their line again.

// Times the game came back to a terminal someone else had used meanwhile (a
// suspend, a wait in the background).
unsigned resumes();

// The console's size in character cells; zero where output is not a console.
struct WindowSize {
    int columns = 0;
    int rows = 0;
    bool operator==(const WindowSize&) const = default;
};
WindowSize windowSize();

// ---- Input --------------------------------------------------------------------

// Why a wait ended: readInput would return at once (bytes are waiting, or
// input has ended); the deadline passed; or the console changed under the
// game (resumed, resized), which a reader may want to look at.
enum class Wake { INPUT, DEADLINE, CHANGED };

// Waits for one of the three. Without a deadline only input or a change end
// it; a deadline already past only looks. Input that is ready wins.
Wake waitInput(std::optional<Clock::time_point> deadline = std::nullopt);

// Waits for input and stores up to size bytes. Returns how many; 0 means the
// input has ended (closed, hung up or failed) and will not come back.
std::size_t readInput(char* buffer, std::size_t size);

// ---- Output -------------------------------------------------------------------

// How a write ended: every byte out; the reader gone (a closed pipe, a hung-up
// terminal), after which the game ends quietly; or a failure such as a full
// disk, which is no success and ends the game with a failure status.
enum class Written { ALL, CLOSED, FAILED };

// Writes all bytes unbuffered: whole characters and whole escape sequences,
// never a part of one.
Written writeOutput(const char* data, std::size_t size);

// Whether the cursor will stand inside a line after the write about to be
// made, for the ways out to end that line before the shell's prompt. The
// output layer tells before each write; a signal handler may read it, so a
// platform keeps it async-signal-safe.
void noteMidLine(bool inLine);

// ---- Time and exit ------------------------------------------------------------

Clock::time_point now();
void sleepUntil(Clock::time_point deadline);  // returns at or after the deadline

// Ends the program: console restored, exit code as given.
[[noreturn]] void quit(int code);

}  // namespace Game::Platform
