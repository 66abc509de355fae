// Plays an installed huanglang twice, as a player who starts it and leaves at
// the title menu: the menu must appear in key mode, C must end the game with
// status 0, and the terminal must come back as it was; then as one who opens
// the explorer terminal's index page and ends the game there with Ctrl-C.
//   installed_play BINARY
#include <signal.h>  // NOLINT(modernize-deprecated-headers): POSIX signal numbers

#include <cstdio>

#include "e2e/pty_game.h"

namespace {

// Says what went wrong, with the output so far; false, for a play to return.
bool wrong(const PtyGame& play, const char* what) {
    std::fprintf(stderr, "installed_play: %s\n  output: %s\n", what,
                 visible(play.transcript()).c_str());
    return false;
}

int fail(const PtyGame& play, const char* what) { return wrong(play, what) ? 0 : 1; }

// Title choice B, the page list, and Ctrl-C while it is on screen.
bool readsAPage(const char* binary) {
    PtyGame play(launchOf(binary));
    if (!play.expect("》a")) return wrong(play, "no title menu");
    play.send("b\r");
    if (!play.expect("请输入要查询的文档（不输入则退出终端）："))
        return wrong(play, "no explorer terminal");
    play.send("list\r");
    if (!play.expect(asOnTerminal("# 当前可用的文章：\x1b[0m\n\nlevel-0\n")))
        return wrong(play, "no page list");
    play.send("\x03");
    if (!killedBy(play.waitExit(), SIGINT)) return wrong(play, "Ctrl-C did not end the game");
    if (!sameMode(play.mode(), play.startMode()))
        return wrong(play, "the terminal was not put back after Ctrl-C");
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: installed_play BINARY\n");
        return 2;
    }
    PtyGame play(launchOf(argv[1]));
    if (!play.expect(asOnTerminal("== GAME MENU ==\nA\t游戏\nB\t浏览麦格终端再游戏\nC\t离开\n》a")))
        return fail(play, "no title menu");
    if (!play.waitForMode(inKeyMode)) return fail(play, "the terminal is not in key mode");
    if (!leavesByChoiceC(play)) return fail(play, "C did not end the game with status 0");
    if (!sameMode(play.mode(), play.startMode()))
        return fail(play, "the terminal was not put back");
    if (!readsAPage(argv[1])) return 1;
    std::printf(
        "installed_play: %s showed the title menu and left on C with status 0, and showed a "
        "page and left on Ctrl-C\n",
        argv[1]);
    return 0;
}
