// Start-up and the title menu.
#include "docs/archive.h"
#include "docs/terminal.h"
#include "state/choice.h"
#include "story/story.h"
#include "support/functions.h"

using namespace std;
using namespace Game;

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
    init();

    PRNT(CLEAR)
    PRNT(TITLE_MENU)
    selector(s, "abc");

    // Kept aside: every choice of the story stores its answer in s as well.
    const char choice = s;
    if (choice == 'b') documentRead();
    if (choice == 'a' || choice == 'b') game();
    quit(0);  // the console put back, and in a browser the page told the game is over
}
