#include "docs/terminal.h"

#include <string>

#include "docs/archive.h"
#include "support/functions.h"

using namespace Game;

namespace {

constexpr char FRONT_SCREEN[] =
    "\033[1m# M.E.G. 探险者终端\033[0m\n"
    "     流浪者必备终端\n"
    "\n"
    "\033[1m\033[4m## 提示词\033[0m\n"
    "\n"
    "层级：level\n"
    "实体：entity\n"
    "现象：phenomenon\n"
    "马尼拉室文档：manila-room-document\n"
    "键入 list 查看所有文档。\n"
    "\n";

constexpr char PROMPT[] = "请输入要查询的文档（不输入则退出终端）：";

}  // namespace

void documentRead() {
    while (true) {
        PRNT(CLEAR)
        PRNT(FRONT_SCREEN)
        // The prompt, then the key exactly as typed: no trimming, no case folding.
        const std::string read = readLine(PROMPT);
        PRNT(CLEAR)
        if (read.empty()) return;
        document(read);
        WAIT
    }
}
