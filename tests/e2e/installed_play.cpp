// Plays an installed huanglang once, as a player who starts it and leaves at
// the title menu: the menu must appear in key mode, C must end the game with
// status 0, and the terminal must come back as it was.
//   installed_play BINARY
#include <cstdio>

#include "e2e/pty_game.h"

namespace {

int fail(const PtyGame& play, const char* what) {
    std::fprintf(stderr, "installed_play: %s\n  output: %s\n", what,
                 visible(play.transcript()).c_str());
    return 1;
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
    std::printf("installed_play: %s showed the title menu and left on C with status 0\n", argv[1]);
    return 0;
}
