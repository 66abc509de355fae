// Whole plays of the story at a real terminal, every branch of it, the way a
// player plays: each paced text hurried with one space, each choice a letter and
// Enter, each "按下任意键继续……" a key.
#include <gtest/gtest.h>

#include <string>

#include "e2e/pty_game.h"
#include "e2e/screen.h"
#include "e2e/walk.h"

namespace {

TEST(Level0, StraightToTheRedRoom) {
    Walk walk(HUANGLANG_BINARY);
    walk.toLevel0();
    walk.choose('a');
    walk.read(FORK);
    walk.choose('b');
    walk.read(ANY_KEY);
    EXPECT_TRUE(walk.shows("\n\n结局 #1：红室\n\n"));
    walk.anyKey();
    walk.endsWith(395);

    Screen screen;  // the last screen, as it stays when the game has ended
    screen.feed(walk.play.transcript());
    EXPECT_EQ(screen.row(0), "你已完成本次游戏。分数：0；剩余体力：395。");
    EXPECT_EQ(screen.row(1), "");
    EXPECT_EQ(screen.cursorRow(), 1);
    EXPECT_EQ(screen.cursorColumn(), 0);
    EXPECT_EQ(walk.play.sinceMatch(), "");
}

TEST(Level0, RestingThenTheRightWayKeepsTheStamina) {
    Walk walk(HUANGLANG_BINARY);
    walk.toLevel0();
    walk.choose('b');
    walk.read(ANY_KEY + "\n\n");
    EXPECT_TRUE(walk.shows("体力值增加了 5"));
    walk.anyKey();
    walk.read(CLEAR + FORK);
    walk.choose('b');
    walk.read(ANY_KEY);
    walk.anyKey();
    walk.endsWith(400);
}

// The typical road, with every way out of the base and of an exploration.
TEST(Level1, GreetingTheStrangerThenEveryWayRoundTheBase) {
    Walk walk(HUANGLANG_BINARY);
    walk.greetingTheStrangerToTheBase();

    // The base as the player sees it: the dialogue's end, the panel, the menu.
    Screen screen;
    screen.feed(walk.play.transcript());
    const int r = screen.cursorRow();
    EXPECT_EQ(screen.row(r), "》a");
    EXPECT_EQ(screen.cursorColumn(), 3);
    EXPECT_EQ(screen.row(r - 1), "A 阅读文档      B 探索本层级    C 前往其它据点");
    EXPECT_EQ(screen.row(r - 2), "你来到了 M.E.G. Alpha 基地，你现在要？");
    EXPECT_EQ(screen.row(r - 3), "理智：1000");
    EXPECT_EQ(screen.row(r - 4), "攻击：0");
    EXPECT_EQ(screen.row(r - 5), "体力：385");
    EXPECT_EQ(screen.row(r - 6), "当前的：");
    EXPECT_EQ(screen.row(r - 7), "");
    EXPECT_NE(screen.find(r - 8, "探险者终端"), -1) << screen.row(r - 8);

    walk.choose('a');  // the terminal, and out again
    walk.expect(TERMINAL_PROMPT);
    walk.play.send("\r");
    walk.expect("\n" + CLEAR);
    walk.atBase(385);

    int body = 385;
    Exploration seen = walk.explore('b', true);  // take every item
    EXPECT_GE(seen.boxes, 1);
    EXPECT_LE(seen.boxes, 5);
    EXPECT_GE(seen.items, seen.boxes);
    EXPECT_LE(seen.items, 2 * seen.boxes);
    body += 600 * seen.taken;
    walk.choose('a');  // ignore the graffiti, then in through the door
    walk.read(DOOR);
    walk.choose('a');
    walk.expect("\n\n");
    walk.atBase(body);

    seen = walk.explore('c', false);  // the other outposts: the same exploration; take nothing
    EXPECT_EQ(seen.taken, 0);
    walk.choose('c');  // straight back from the graffiti
    walk.expect("\bc\n\n");
    walk.atBase(body);

    seen = walk.explore('b', true);
    body += 600 * seen.taken;
    walk.choose('a');
    walk.read(DOOR);
    walk.choose('b');  // back from the door
    walk.expect("\bb\n\n");
    walk.atBase(body);

    walk.explore('b', false);
    walk.choose('b');  // through the ceiling
    walk.expect("\bb\n\n");
    walk.endsWith(body);
}

TEST(Level1, IgnoringTheStrangerStillLeavesTheBasesTerminal) {
    Walk walk(HUANGLANG_BINARY);
    walk.toLevel0();
    walk.choose('a');
    walk.read(FORK);
    walk.leftToLevel1();
    walk.choose('b');
    walk.read("- 黄廊由层级组成");
    walk.atBase(385);
    walk.choose('a');
    walk.expect(CLEAR + "\x1b[1m# M.E.G. 探险者终端\x1b[0m\n");
    walk.expect(TERMINAL_PROMPT);
    walk.play.send("level-1\r");
    walk.read("原文链接：https://huanglang.example.org/archive/level-1\n");
    walk.anyKey();
    walk.expect(TERMINAL_PROMPT);
    walk.play.send("\r");
    walk.atBase(385);
    walk.explore('b', false);
    walk.choose('b');
    walk.endsWith(385);
}

TEST(Level0, TheExplorerTerminalBeforeTheStory) {
    Walk walk(HUANGLANG_BINARY);
    walk.expect("》a");
    walk.choose('b');
    walk.expect(TERMINAL_PROMPT);
    walk.play.send("\r");
    walk.expect("\n" + CLEAR + CLEAR + "“");  // the terminal leaves a cleared screen to the opening
    walk.read("”\n\n");
    walk.read(ANY_KEY + "\n\n");
    walk.anyKey();
    walk.read(CLEAR + "你来到了另一个层级。");
    walk.expect(LEVEL_0_OPTIONS);  // the terminal from the title gives no D here
}

}  // namespace
