#include "docs/archive.h"

#include <fmt/format.h>

#include <cstdlib>
#include <ctime>

#include "docs/markup.h"
#include "docs/pages.h"
#include "state/items.h"
#include "support/functions.h"

using namespace Game;

std::map<std::string, std::string> documentData;

namespace {

constexpr char ATTRIBUTION[] =
    "》除非特别注明，本页内容采用以下授权方式：Creative Commons Attribution-ShareAlike 3.0 "
    "License；原文链接：{}{}\n";

}  // namespace

void init() {
    std::srand(static_cast<unsigned>(std::time(nullptr)));

    documentData["phenomenon-c-0"] = PHENOMENON_C_0;
    documentData["red-rooms"] = RED_ROOMS;
    documentData["level-0"] = LEVEL_0;
    documentData["level-1"] = LEVEL_1;
    documentData["object-1"] = OBJECT_1;
    // The paper in the manila room is the noclipping page as it stands now,
    // before any attribution, with the guide to levels after it.
    documentData["manila-room-document"] = documentData["phenomenon-c-0"] + NOTABLE_LEVELS;
    documentData["list"] = TITLE1 "# 当前可用的文章：" COLOR "\n\n";

    for (auto& [key, text] : documentData) {
        documentData["list"] += key + "\n";
        PRNT(fmt::format("INIT {}\n", key))
        if (key != "manila-room-document" && key != "list")
            text += fmt::format(ATTRIBUTION, SOURCE_BASE, key);
    }

    itemList[1] = {"杏仁水", 600, 0, 0};
}

void document(const std::string& t) {
    const auto page = documentData.find(t);
    // Braced: the checker counts the lines of SHOW's expansion from where it is defined.
    if (page != documentData.end()) {
        SHOW(page->second)
    }
}
