// The texts of the pages, each in a file of its own under pages/.
#pragma once

extern const char PHENOMENON_C_0[];  // 切入与切出: noclipping in and out
extern const char RED_ROOMS[];       // 红室
extern const char LEVEL_0[];         // Level 0, the yellow rooms
extern const char LEVEL_1[];         // Level 1, the concrete halls
extern const char OBJECT_1[];        // 杏仁水, almond water
extern const char NOTABLE_LEVELS[];  // the guide to levels that follows the noclipping page
                                     // in the manila room's copy; begins with "\n\n"
