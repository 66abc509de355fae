// Whole plays of the story at a real terminal, every branch of it, the way a
// player plays: each paced text hurried with one space, each choice a letter and
// Enter, each "按下任意键继续……" a key.
#include <gtest/gtest.h>

#include <regex>
#include <stdexcept>
#include <string>

#include "e2e/pty_game.h"
#include "e2e/screen.h"

namespace {

const std::string CLEAR = "\x1b[2J\x1b[0;0H";
const std::string ANY_KEY = "按下任意键继续……";
const std::string LEVEL_0_OPTIONS = "\nA 四处走走\tB 原地休息\n》a";
const std::string FORK = "你四处走，不断走，走到了一个分岔路口，你选择左还是右？\nA 左\tB 右\n》a";
const std::string MANILA_PAGE_END = "祝你好运，我们在 Level 1 等你。\n\n";
const std::string NOCLIP_LESSON =
    "你悟得了\x1b[1m切出\x1b[0m。\n\n你尝试根据文档的指示，切出了一面墙。按下任意键继续……";
const std::string STRANGER = "你看到对面有个人，你要过去吗？\nA 过去寻找他\tB 不理会\n》a";
const std::string BASE_MENU =
    "你来到了 M.E.G. Alpha 基地，你现在要？\nA 阅读文档\tB 探索本层级\tC 前往其它据点\n》a";
const std::string TERMINAL_PROMPT = "请输入要查询的文档（不输入则退出终端）：";
const std::string GRAFFITI =
    CLEAR + "你看见天花板上有涂鸦，你选择：\nA 忽略\tB 切出该天花板\tC 返回 M.E.G. 基地\n》a";
const std::string DOOR =
    CLEAR + "你看见了一个小门，里面是一条走廊，要进去吗？\nA 进入\tB 返回 M.E.G. 基地\n》a";

std::string panel(int body) {
    return "当前的：\n体力：" + std::to_string(body) + "\n攻击：0\n理智：1000\n";
}

std::string endScreen(int body) {
    return CLEAR + "你已完成本次游戏。分数：0；剩余体力：" + std::to_string(body) + "。\n";
}

// What one exploration held.
struct Exploration {
    int boxes = 0;
    int items = 0;
    int taken = 0;
};

// One play, from the title menu. A step that does not come to pass ends the test.
class Walk {
  public:
    Walk() : play(launchOf(HUANGLANG_BINARY)) {}
    PtyGame play;

    // Hurries one paced text until `end` is on screen, then waits for the game to wait.
    void read(const std::string& end) {
        if (!play.hurryTo(asOnTerminal(end))) lost("never showed " + visible(end));
        if (!play.waitAsleep()) lost("did not wait for a key after " + visible(end));
    }
    void expect(const std::string& bytes) {
        if (!play.expect(asOnTerminal(bytes))) lost("never showed " + visible(bytes));
    }
    bool shows(const std::string& bytes) const {
        return play.transcript().find(asOnTerminal(bytes)) != std::string::npos;
    }
    void choose(char key) { play.send(std::string(1, key) + "\r"); }
    void anyKey() { play.send("x"); }

    void toLevel0() {
        expect("》a");
        choose('a');
        read("”\n\n");
        read(ANY_KEY + "\n\n");
        anyKey();
        read(CLEAR + "你来到了另一个层级。");
        expect(LEVEL_0_OPTIONS);
    }

    // From the fork: left, the manila page and the lesson, up to the stranger.
    void leftToLevel1() {
        choose('a');
        read("按下任意键继续以查看纸上内容。");
        anyKey();
        read(MANILA_PAGE_END);
        anyKey();
        read(CLEAR + NOCLIP_LESSON);
        anyKey();
        read(CLEAR + "你来到了一个新的层级。\n\n");
        read(STRANGER);
    }

    // From the base menu: the panel must show `body` and the menu follow it.
    void atBase(int body) { read(panel(body) + BASE_MENU); }

    // From the base menu or the graffiti: B or C, every box opened, every item
    // taken or left; up to the graffiti's choice.
    Exploration explore(char key, bool take) {
        choose(key);
        read(CLEAR + "你开始探索 Level 1。\n\n");
        Exploration seen;
        for (int box = 1; box == 1 || box <= seen.boxes; ++box) {
            const std::string header = "第 " + std::to_string(box) + "/";
            read(header);
            expect(" 个补给箱：\n");
            const int boxes = countAfter(header);
            if (seen.boxes == 0) seen.boxes = boxes;
            if (boxes != seen.boxes) lost("the box count changed within one exploration");
            int items = 0;
            for (int item = 1; item == 1 || item <= items; ++item) {
                const std::string itemHeader = "补给箱中第 " + std::to_string(item) + "/";
                read(itemHeader);
                expect("件物品是 杏仁水。\n加成：\n体力：600\n攻击：0\n理智：0\n");
                items = countAfter(itemHeader);
                if (items < 1 || items > 2) lost("a box of " + std::to_string(items) + " items");
                read("是否拾取（并使用）该物品？\nA 是\tB 否\n》a");
                choose(take ? 'a' : 'b');
                ++seen.items;
                if (take) ++seen.taken;
            }
        }
        read(GRAFFITI);
        return seen;
    }

    void endsWith(int body) {
        expect(endScreen(body));
        if (!play.waitAsleep()) lost("the end screen did not wait for a key");
        anyKey();
        if (!exitedWith(play.waitExit(), 0)) lost("did not end with exit code 0");
    }

  private:
    // N in the last "header…/N " shown: how many boxes, or items in a box.
    int countAfter(const std::string& header) {
        static const std::regex count("/([0-9]+) ");
        const std::string shown = play.transcript().substr(play.transcript().rfind(header));
        std::smatch found;
        if (!std::regex_search(shown, found, count)) lost("no count after " + header);
        return std::stoi(found[1]);
    }

    [[noreturn]] void lost(const std::string& what) const {
        throw std::runtime_error(what + "\nlast output: " + visible(play.sinceMatch()));
    }
};

TEST(Level0, StraightToTheRedRoom) {
    Walk walk;
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
    Walk walk;
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
    Walk walk;
    walk.toLevel0();
    walk.choose('a');
    walk.read(FORK);
    walk.leftToLevel1();
    walk.choose('a');
    walk.read("你：你好！");
    walk.atBase(385);

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
    Walk walk;
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
    Walk walk;
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
