// What the console kit asks of the operating system, and nothing more.
//
// One file per system implements this header (platform_posix.cpp,
// platform_windows.cpp); the build links exactly one of them. Tests link a
// scripted one with a virtual clock instead. Everything above this seam, the
// input buffer, Enter handling, the line editor and pacing, is shared code.
#pragma once

#include <chrono>
#include <cstddef>

namespace Game::Platform {

using Clock = std::chrono::steady_clock;

// ---- Console mode -------------------------------------------------------------

// Switches to UTF-8 and key mode, and arranges for restoreConsole to run on
// every way out. Only the first call does anything.
void prepareConsole();

// Puts back the mode prepareConsole found. Idempotent, safe from a signal
// handler, and final: once it has run nothing puts key mode back.
void restoreConsole();

// Turns on VT processing for standard output where a console needs asking.
void enableVirtualTerminal();

// True when standard input is an interactive console rather than a pipe or file.
bool inputIsTerminal();

// ---- The console under the game -----------------------------------------------
// Readers that keep something on screen (a choice, a line being typed) compare
// these counts before and after they wait, and draw their line again.

// Times the game came back from a suspend to a terminal someone else had used.
unsigned resumes();

// Times the console window changed size.
unsigned resizes();

// The console's width in columns; 0 when output is not a console.
int columns();

// ---- Input --------------------------------------------------------------------

// True when readInput would return at once: bytes are waiting, or input has ended.
bool inputReady();

// Waits until readInput would return at once, or until the deadline has passed.
// True when input is ready (or has ended), false at the deadline.
bool waitInputUntil(Clock::time_point deadline);

// Waits until readInput would return at once (true), or until the game is
// resumed or resized while it waits (false).
bool waitInput();

// Waits for input and stores up to size bytes. Returns how many; 0 means the
// input has ended (closed, hung up or failed) and will not come back.
std::size_t readInput(char* buffer, std::size_t size);

// ---- Output -------------------------------------------------------------------

// Writes all bytes unbuffered. False when standard output is closed or broken.
bool writeOutput(const char* data, std::size_t size);

// ---- Time and exit ------------------------------------------------------------

Clock::time_point now();
void sleepUntil(Clock::time_point deadline);  // returns at or after the deadline

// Ends the program: console restored, exit code as given.
[[noreturn]] void quit(int code);

}  // namespace Game::Platform
