// The browser: the page's terminal emulator is the console.
//
// Every write is handed to the page at once, so a paced byte is on screen
// before its pause. Keys come from a queue the page fills as the player types.
// Waiting for a key or a deadline awaits a promise of the page's (Asyncify
// unwinds the game's stack meanwhile), so the browser stays live: it draws,
// takes keys and runs its timers while the game waits.
//
// The page hands the game its console as Module.page: write(bytes),
// keysWaiting(), takeKeys(heap, at, most), waitForKey(milliseconds or -1),
// sleep(milliseconds), columns(), rows() and ended(code). The bodies below
// are the page's script.
#include <emscripten.h>

#include <cmath>
#include <cstdlib>

#include "support/platform.h"

namespace {

EM_JS(void, pageWrite, (const char* data, int size),
      { Module.page.write(HEAPU8.subarray(data, data + size)); });

EM_JS(int, pageKeysWaiting, (), { return Module.page.keysWaiting(); });

EM_JS(int, pageTakeKeys, (char* buffer, int size),
      { return Module.page.takeKeys(HEAPU8, buffer, size); });

// 1 when a key is waiting, 2 when the terminal changed size, 0 when the
// milliseconds ran out first; -1 waits for a key or a change.
EM_ASYNC_JS(int, pageWaitForKey, (double milliseconds),
            { return Module.page.waitForKey(milliseconds); });

EM_ASYNC_JS(void, pageSleep, (double milliseconds), { return Module.page.sleep(milliseconds); });

EM_JS(int, pageColumns, (), { return Module.page.columns(); });

EM_JS(int, pageRows, (), { return Module.page.rows(); });

EM_JS(void, pageEnded, (int code), { Module.page.ended(code); });

// A wait nothing ends: the game is over, and the page lets it go.
EM_ASYNC_JS(void, pageHalt, (), { return new Promise(function never(){}); });

using Game::Platform::Clock;

// Timers in a browser may fire late but never early, at whole milliseconds:
// rounded up, one timer reaches the deadline instead of a second, clamped one.
double millisecondsUntil(Clock::time_point deadline) {
    return std::ceil(std::chrono::duration<double, std::milli>(deadline - Clock::now()).count());
}

// The page draws and takes keys only while the game waits. A paste of many
// keys would keep the game busy without a wait: it yields now and then anyway.
constexpr auto BUSY_AT_MOST = std::chrono::milliseconds(25);
Clock::time_point lastYield;

void yieldNowAndThen() {
    if (Clock::now() - lastYield < BUSY_AT_MOST) return;
    pageSleep(0);
    lastYield = Clock::now();
}

}  // namespace

namespace Game::Platform {

// ---- Console mode -------------------------------------------------------------
// The page's terminal has no modes to change: keys reach the game unechoed,
// and the terminal stays the page's when the game ends.

void prepareConsole() {}
void enableVirtualTerminal() {}
bool inputIsTerminal() { return true; }

// ---- The console under the game -----------------------------------------------
// A tab is never suspended. The page sizes its terminal to the window.

unsigned resumes() { return 0; }
WindowSize windowSize() { return {pageColumns(), pageRows()}; }

// ---- Input --------------------------------------------------------------------
// Input never ends: the player can always type while the page is open.

Wake waitInput(std::optional<Clock::time_point> deadline) {
    for (;;) {
        if (pageKeysWaiting() != 0) return Wake::INPUT;
        double left = -1;
        if (deadline) {
            left = millisecondsUntil(*deadline);
            if (left <= 0) return Wake::DEADLINE;
        }
        const int woke = pageWaitForKey(left);
        lastYield = Clock::now();
        if (woke == 2) return Wake::CHANGED;
    }
}

std::size_t readInput(char* buffer, std::size_t size) {
    yieldNowAndThen();
    while (waitInput() != Wake::INPUT) {
    }
    return static_cast<std::size_t>(pageTakeKeys(buffer, static_cast<int>(size)));
}

// ---- Output -------------------------------------------------------------------

Written writeOutput(const char* data, std::size_t size) {
    pageWrite(data, static_cast<int>(size));
    return Written::ALL;
}

// The page's terminal is never handed to anyone else: no line to end for a shell.
void noteMidLine(bool /*inLine*/) {}

// ---- Time and exit ------------------------------------------------------------

Clock::time_point now() { return Clock::now(); }

void sleepUntil(Clock::time_point deadline) {
    for (double left = millisecondsUntil(deadline); left > 0; left = millisecondsUntil(deadline))
        pageSleep(left);
    lastYield = Clock::now();
}

// The page is told the game is over, and the game waits for ever: ending the
// runtime instead would throw its exit status through the wait the game was
// in, which some engines report as an uncaught error.
void quit(int code) {
    pageEnded(code);
    pageHalt();
    std::abort();  // not reached
}

}  // namespace Game::Platform
