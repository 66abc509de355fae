// Start-up and the title menu, as a player at a terminal meets them.
#include <gtest/gtest.h>
#include <signal.h>  // NOLINT(modernize-deprecated-headers): POSIX sigaction and kill

#include "e2e/pty_game.h"
#include "e2e/screen.h"

namespace {

const std::string TITLE = "\x1b]0;黄廊探索\a";
const std::string MENU = "== GAME MENU ==\nA\t游戏\nB\t浏览麦格终端再游戏\nC\t离开\n》";
// One line per page key while the archive is built, cleared before the menu.
const std::string INIT_LINES =
    "INIT level-0\nINIT level-1\nINIT list\nINIT manila-room-document\n"
    "INIT object-1\nINIT phenomenon-c-0\nINIT red-rooms\n";
// Everything the game writes before it waits for the first key.
const std::string STARTUP =
    TITLE + "\x1b[2J\x1b[?3l" + INIT_LINES + "\x1b[2J\x1b[0;0H" + MENU + "a";

Launch game() { return launchOf(HUANGLANG_BINARY); }

TEST(Startup, WritesTitleClearColumnsAndMenuThenTheDefault) {
    PtyGame play(game());
    ASSERT_TRUE(play.expect(asOnTerminal(STARTUP))) << visible(play.transcript());
    // Nothing before it but the title found saved, nothing after.
    EXPECT_BYTES(TITLE_SAVED + asOnTerminal(STARTUP), play.transcript());
    EXPECT_TRUE(leavesByChoiceC(play));
}

TEST(Startup, WritesTheSameBytesIntoAPipe) {
    Launch launch = game();
    launch.pipedOutput = true;
    PtyGame play(launch);
    ASSERT_TRUE(play.expect(STARTUP)) << visible(play.transcript());
    EXPECT_TRUE(leavesByChoiceC(play));
    EXPECT_BYTES(STARTUP + "\bc", play.transcript());  // not a byte more
}

TEST(TitleMenu, EnterAtOnceTakesTheDefaultAndTheStoryBegins) {
    PtyGame play(game());
    ASSERT_TRUE(play.expect("》a"));
    play.send("\r");
    ASSERT_TRUE(play.expect("\x1b[2J\x1b[0;0H“")) << visible(play.sinceMatch());
    EXPECT_EQ(play.sinceMatch(), "");
    play.signal(SIGTERM);
    EXPECT_TRUE(killedBy(play.waitExit(), SIGTERM));
}

TEST(TitleMenu, LettersReplaceTheShownChoiceUntilEnter) {
    PtyGame play(game());
    ASSERT_TRUE(play.expect("》a"));
    play.send("b");
    ASSERT_TRUE(play.expect("\bb"));
    play.send("xBd\x1b[A");  // no options: nothing is echoed
    play.send("c");
    ASSERT_TRUE(play.expect("\bc"));
    EXPECT_EQ(play.sinceMatch(), "");
    play.send("\r");
    EXPECT_TRUE(exitedWith(play.waitExit(), 0));
    EXPECT_EQ(play.sinceMatch(), wayOut(true));  // the shell's prompt on a line of its own
}

TEST(TitleMenu, CtrlSDoesNotFreezeTheScreen) {
    PtyGame play(game());
    ASSERT_TRUE(play.expect("》a"));
    play.send("\023b");  // Ctrl-S, then b
    EXPECT_TRUE(play.expect("\bb", 2s)) << "output stopped after Ctrl-S";
    EXPECT_TRUE(leavesByChoiceC(play));
}

TEST(TitleMenu, APipedScriptPlaysIt) {
    Launch launch = game();
    launch.pipedInput = true;
    PtyGame play(launch);
    play.send("bc\n");  // LF is Enter too
    ASSERT_TRUE(play.expect("》a\bb\bc"));
    EXPECT_TRUE(exitedWith(play.waitExit(), 0));
}

TEST(TitleMenu, KeysTypedBeforeItAppearsAreKept) {
    PtyGame play(game());
    // Typed before the game has even set up the terminal.
    EXPECT_TRUE(leavesByChoiceC(play));
    EXPECT_TRUE(play.expect("》a\bc")) << visible(play.transcript());
}

TEST(TitleMenu, WaitsOnATerminalLeftNonBlocking) {
    Launch launch = game();
    launch.nonBlockingInput = true;
    PtyGame play(launch);
    ASSERT_TRUE(play.expect("》a"));
    play.send("b");
    EXPECT_TRUE(play.expect("\bb")) << "the game gave up on a read that would block";
    EXPECT_TRUE(leavesByChoiceC(play));
}

TEST(TitleMenu, LooksRightOnScreen) {
    PtyGame play(game());
    ASSERT_TRUE(play.expect("》a"));
    Screen before;
    before.feed(play.transcript());
    EXPECT_EQ(before.title(), "黄廊探索");
    EXPECT_EQ(before.row(0), "== GAME MENU ==");
    EXPECT_EQ(before.row(1), "A       游戏");
    EXPECT_EQ(before.row(2), "B       浏览麦格终端再游戏");
    EXPECT_EQ(before.row(3), "C       离开");
    EXPECT_EQ(before.row(4), "》a");
    EXPECT_EQ(before.cursorRow(), 4);
    EXPECT_EQ(before.cursorColumn(), 3);  // right after the letter; 》 takes two columns

    play.send("b");
    ASSERT_TRUE(play.expect("\bb"));
    Screen after;
    after.feed(play.transcript());
    EXPECT_EQ(after.row(4), "》b");  // replaced in place
    EXPECT_EQ(after.cursorColumn(), 3);
    EXPECT_TRUE(leavesByChoiceC(play));
}

}  // namespace
