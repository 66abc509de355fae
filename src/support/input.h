// The input buffer as the kit's paced writer and selector need it; scenes use functions.h.
#pragma once

#include <functional>
#include <optional>
#include <string_view>

#include "support/platform.h"

namespace Game {

// Writes text as print does, but not set in rows: the player's own typing.
void printAsTyped(std::string_view text);

// Space and Enter (CR or LF) hurry paced text.
inline bool hurries(int key) { return key == ' ' || key == '\r' || key == '\n'; }

// True once standard input has ended and every byte of it has been taken:
// nobody can press a key any more.
bool inputEnded();

// Pauses until the deadline. A space or Enter arriving meanwhile ends the pause
// at once, unread, so the check after the next byte hurries the text without
// the player waiting out the pause; any other key waits its turn. Input that
// ends ends the pause too.
void pauseUnlessHurried(Platform::Clock::time_point deadline);

// A reader that keeps something on screen while it waits for a key (a choice,
// a line being typed) is asked to bring it up to date before each key (keyNext
// true) and whenever the console changes under it while it waits. It answers
// when it wants to be asked again though nothing happens (a new window size
// still settling), or nothing.
using Refresh = std::function<std::optional<Platform::Clock::time_point>(bool keyNext)>;

// readKey, for a reader that keeps something on screen while it waits.
int readKey(const Refresh& refresh);

}  // namespace Game
