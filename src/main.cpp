// Start-up and the title menu.
#include "support/functions.h"

using namespace std;
using namespace Game;

// The choice cell: every selector call of the game stores its answer here.
char s = 0;

namespace {

const char TITLE_MENU[] = "== GAME MENU ==\nA\t游戏\nB\t浏览麦格终端再游戏\nC\t离开\n》";

}  // namespace

int main() {
    prepareConsole();  // UTF-8 and key mode, put back on every way out
    enableANSI();
    editTitle("黄廊探索");
    PRNT(screenClear)
    PRNT("\033[?3l")  // 80 columns

    PRNT(CLEAR)
    PRNT(TITLE_MENU)
    selector(s, "abc");

    // A plays the story and B opens the explorer terminal first; until those
    // land, both end the game as C does.
    restoreConsole();
    return 0;
}
