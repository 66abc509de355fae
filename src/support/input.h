// The input buffer as the kit's paced writer needs it; scenes use functions.h.
#pragma once

#include "support/platform.h"

namespace Game {

// Space and Enter (CR or LF) hurry paced text.
inline bool hurries(int key) { return key == ' ' || key == '\r' || key == '\n'; }

// Pauses until the deadline. A space or Enter arriving meanwhile ends the pause
// at once, unread, so the check after the next byte hurries the text without
// the player waiting out the pause; any other key waits its turn.
void pauseUnlessHurried(Platform::Clock::time_point deadline);

}  // namespace Game
