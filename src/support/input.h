// The input buffer as the kit's paced writer and selector need it; scenes use functions.h.
#pragma once

#include <functional>

#include "support/platform.h"

namespace Game {

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

// Draws a reader's line again if the console changed under it; called before
// each key is taken and whenever a wait for one is interrupted.
using Redraw = std::function<void()>;

// readKey, for a reader that keeps something on screen while it waits.
int readKey(const Redraw& redraw);

}  // namespace Game
