// The markup the pages are written in. Plain literals, like the escape
// sequences they are built from, so a page is one literal from end to end.
#pragma once

#include "support/functions.h"

#define TITLE1 BOLD           // "# " page title, then COLOR and a line end
#define TITLE2 BOLD UNDLI     // "## " section, then COLOR and an empty line
#define TITLE3 BOLD           // "### " subsection, then COLOR and an empty line
#define TITLE4 UNDLI          // a fourth level, for pages that need one
#define LINK BOLD UNDLI FRED  // words and （key）, then COLOR

// The survival-difficulty block: its head, one line for the class, three lines.
// The head in the terminal's own text colour: white would vanish on a light one.
#define SDTITLE FDEFAULT BOLD UNDLI "生存难度："

#define SD_SAFE "- 安全\n"
#define SD_USAFE "- 不安全\n"
#define SD_STAB "- 稳定\n"
#define SD_USTAB "- 不稳定\n"
#define SD_ENT_0 "- 实体绝迹\n"
#define SD_ENT_1 "- 极少量实体\n"
#define SD_ENT_2 "- 少量实体\n"
#define SD_ENT_3 "- 少量实体\n"
#define SD_ENT_4 "- 中量实体\n"
#define SD_ENT_5 "- 实体横行\n"

#define SD0 SDTITLE "等级 0\n" COLOR SD_USAFE SD_USTAB SD_ENT_0 "\n"
#define SD1 SDTITLE "等级 1\n" COLOR SD_SAFE SD_STAB SD_ENT_1 "\n"
#define SD2 SDTITLE "等级 2\n" COLOR SD_SAFE SD_STAB SD_ENT_2 "\n"
#define SD3 SDTITLE "等级 3\n" COLOR SD_USAFE SD_USTAB SD_ENT_3 "\n"
#define SD4 SDTITLE "等级 4\n" COLOR SD_USAFE SD_USTAB SD_ENT_4 "\n"
#define SD5 SDTITLE "等级 5\n" COLOR SD_USAFE SD_USTAB SD_ENT_5 "\n"
