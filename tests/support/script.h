// A scripted console for unit tests: keys arrive at chosen moments of a virtual
// clock, sleeps advance that clock at once, and every write is recorded with the
// moment it was made. A test of a 10 KiB paced page runs in microseconds.
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "visible.h"

namespace Script {

using Millis = std::chrono::milliseconds;

// One write of the game, at a moment of the virtual clock.
struct Write {
    Millis at;
    std::string bytes;
};

// Thrown where the real program would end (closed input, closed output).
struct Quit {
    int code;
};

// Forgets all keys, writes and time; the clock starts at 0 ms. The kit's own
// input buffer is read dry first, so each test starts with no key waiting.
void reset(bool terminal = true);

void type(std::string_view keys);                  // keys waiting from now on
void typeAt(Millis at, std::string_view keys);     // keys that arrive at a later moment
void endInput();                                   // after the typed keys, input ends
void closeOutput();                                // every later write fails
void stallWrite(std::size_t index, Millis lasts);  // write number index (from 0) blocks this long
void resumeAt(Millis at);                          // the game comes back from a suspend then
void resizeAt(Millis at, int columns, int rows = 0);  // the console's size from then on

Millis now();
std::string output();                // every byte written, in order
const std::vector<Write>& writes();  // each write with its moment
int prepareCalls();

}  // namespace Script
