// The story: a fixed graph of scenes from the fall into 黄廊 to the end screen,
// and the state the scenes keep while it is played.
#pragma once

#include <map>
#include <string>

extern std::string options;                     // the option letters the Level 0 prompt offers now
extern std::map<std::string, bool> visitLevel;  // levels entered so far ("level-0", "level-1")
extern bool noclip;       // the player has learned to cut out through a wall (切出)
extern bool megDocument;  // the player carries an M.E.G. explorer terminal

// Plays the story once, from the opening to the end screen.
void game();
