// The choice cell: every selector call of the game stores its answer here, and
// every menu, box and scene tests it. It is defined with the entry point.
#pragma once

extern char s;
