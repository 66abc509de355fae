// The choice cell the game defines beside main, for tests that run items and pages alone.
#include "state/choice.h"

char s = 0;
