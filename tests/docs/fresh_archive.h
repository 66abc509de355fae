// The archive as a new start of the game has it, on a fresh scripted console.
#pragma once

#include "docs/archive.h"
#include "state/items.h"
#include "support/script.h"

// Forgets every page and item, then builds them anew; init's lines stay in the output.
inline void freshArchive() {
    Script::reset();
    documentData.clear();
    itemList = {};
    init();
}
