// The explorer terminal behind title choice B, played at a real terminal.
#include <gtest/gtest.h>
#include <signal.h>  // NOLINT(modernize-deprecated-headers): POSIX sigaction and kill

#include "e2e/pty_game.h"
#include "e2e/screen.h"

namespace {

const std::string CLEAR = "\x1b[2J\x1b[0;0H";
const std::string FRONT =
    "\x1b[1m# M.E.G. 探险者终端\x1b[0m\n     流浪者必备终端\n\n\x1b[1m\x1b[4m## 提示词\x1b[0m\n\n"
    "层级：level\n实体：entity\n现象：phenomenon\n马尼拉室文档：manila-room-document\n"
    "键入 list 查看所有文档。\n\n";
const std::string PROMPT = "请输入要查询的文档（不输入则退出终端）：";
const std::string INDEX =
    "\x1b[1m# 当前可用的文章：\x1b[0m\n\nlevel-0\nlevel-1\nlist\nmanila-room-document\n"
    "object-1\nphenomenon-c-0\nred-rooms\n";
const std::string LEVEL_0_ATTRIBUTION =
    "》除非特别注明，本页内容采用以下授权方式：Creative Commons Attribution-ShareAlike 3.0 "
    "License；原文链接：https://huanglang.example.org/archive/level-0\n";

Launch game() { return launchOf(HUANGLANG_BINARY); }

// Keys from a pipe, as a recorded play feeds them.
Launch gameFromAPipe() {
    Launch launch = game();
    launch.pipedInput = true;
    return launch;
}

// Title choice B, up to the terminal's prompt.
void openTerminal(PtyGame& play) {
    ASSERT_TRUE(play.expect("》a"));
    play.send("b\r");
    ASSERT_TRUE(play.expect(asOnTerminal("\bb" + CLEAR + FRONT + PROMPT)))
        << visible(play.transcript());
    EXPECT_EQ(play.sinceMatch(), "");
}

// An empty line leaves the terminal: the screen is cleared and the story's
// opening begins on it. The test ends the game there.
void leaveForTheStory(PtyGame& play) {
    play.send("\r");
    ASSERT_TRUE(play.expect(asOnTerminal("\n" + CLEAR + CLEAR + "“")))
        << visible(play.sinceMatch());
    play.signal(SIGTERM);
    EXPECT_TRUE(killedBy(play.waitExit(), SIGTERM));
}

// Types a key at the prompt; the echo, then the cleared screen.
void lookUp(PtyGame& play, const std::string& key) {
    play.send(key + "\r");
    ASSERT_TRUE(play.expect(asOnTerminal(key + "\n" + CLEAR))) << visible(play.sinceMatch());
}

TEST(Terminal, ListShowsTheIndexThenAnyKeyReturnsAndAnEmptyLineLeavesForTheStory) {
    PtyGame play(game());
    openTerminal(play);
    lookUp(play, "list");
    ASSERT_TRUE(play.hurryTo(asOnTerminal(INDEX))) << visible(play.transcript());
    EXPECT_EQ(play.sinceMatch(), "");
    ASSERT_TRUE(play.waitAsleep());
    play.send("x");
    ASSERT_TRUE(play.expect(asOnTerminal(CLEAR + FRONT + PROMPT))) << visible(play.sinceMatch());
    leaveForTheStory(play);
}

TEST(Terminal, KeysMatchExactlyOrShowABlankScreen) {
    PtyGame play(game());
    openTerminal(play);
    for (const std::string key : {"Level-0", " level-0", "level", "entity"}) {
        lookUp(play, key);
        EXPECT_FALSE(play.expect("\x1b", 300ms)) << key << " showed something";
        play.send("k");
        ASSERT_TRUE(play.expect(asOnTerminal(FRONT + PROMPT))) << key;
    }
    leaveForTheStory(play);
}

TEST(Terminal, ThePageLooksRightOnScreen) {
    PtyGame play(game());
    openTerminal(play);
    lookUp(play, "level-0");
    const std::size_t pageStart = play.transcript().size() - play.sinceMatch().size();
    ASSERT_TRUE(play.hurryTo(asOnTerminal(LEVEL_0_ATTRIBUTION)));
    EXPECT_EQ(play.sinceMatch(), "");

    Screen screen(120, 80);
    screen.feed(play.transcript().substr(pageStart));
    EXPECT_EQ(screen.row(0), "# Level 0");
    EXPECT_TRUE(screen.look(0, 2).bold);
    EXPECT_EQ(screen.row(1), "  教学关卡");
    EXPECT_FALSE(screen.look(1, 2).bold);
    EXPECT_EQ(screen.row(3), "生存难度：等级 1");
    const auto survival = screen.look(3, 0);
    EXPECT_TRUE(survival.bold && survival.underline);
    EXPECT_EQ(survival.foreground, -1);  // the terminal's own, light or dark
    EXPECT_EQ(screen.row(4), "- 安全");
    EXPECT_FALSE(screen.look(4, 2).bold);

    int linkRow = 0;
    while (linkRow < 120 && screen.find(linkRow, "红色墙纸和昏暗灯光") < 0) ++linkRow;
    ASSERT_LT(linkRow, 120);
    const auto link = screen.look(linkRow, screen.find(linkRow, "红色墙纸"));
    EXPECT_TRUE(link.bold && link.underline);
    EXPECT_EQ(link.foreground, 1);                       // red
    const int after = screen.find(linkRow, "再往前走");  // the plain words after the link
    ASSERT_GE(after, 0) << screen.row(linkRow);
    const auto plain = screen.look(linkRow, after);
    EXPECT_FALSE(plain.bold || plain.underline || plain.foreground != -1);

    ASSERT_TRUE(play.waitAsleep());
    play.send("\r");  // any key, Enter too, returns to the front screen
    ASSERT_TRUE(play.expect(asOnTerminal(CLEAR + FRONT + PROMPT)));
    leaveForTheStory(play);
}

TEST(Terminal, APipedLastLineWithoutItsEndIsStillLookedUp) {
    PtyGame play(gameFromAPipe());
    play.send("b\nlist");
    play.closeInput();
    EXPECT_TRUE(exitedWith(play.waitExit(10s), 0));
    EXPECT_TRUE(play.expect(asOnTerminal(PROMPT + CLEAR + INDEX))) << visible(play.transcript());
    EXPECT_EQ(play.sinceMatch(), wayOut(false));
}

// Once input has ended the text it ended in goes out whole at once, and the
// next key read ends the game: a piped script runs in no time, into a file too.
TEST(Terminal, InputThatEndsHurriesTheTextItEndsIn) {
    const struct {
        const char* keys;
        const char* lastWords;
    } scripts[] = {
        {"a\n", "按下任意键继续……\n\n"},
        {"b\nmanila-room-document\n", "祝你好运，我们在 Level 1 等你。\n\n"},
    };
    for (const auto& script : scripts) {
        SCOPED_TRACE(script.keys);
        Launch launch = gameFromAPipe();
        launch.pipedOutput = true;
        PtyGame play(launch);
        play.send(script.keys);
        play.closeInput();
        EXPECT_TRUE(exitedWith(play.waitExit(5s), 0));
        const std::string& written = play.transcript();
        ASSERT_GE(written.size(), std::string(script.lastWords).size());
        EXPECT_EQ(written.substr(written.size() - std::string(script.lastWords).size()),
                  script.lastWords);
    }
}

TEST(Terminal, PipedInputEndingAtThePromptClosesItAndTheStoryBegins) {
    PtyGame play(gameFromAPipe());
    play.send("b\n");
    ASSERT_TRUE(play.expect(asOnTerminal(PROMPT)));
    play.closeInput();
    // No key can come any more: the opening comes out whole at once, and the
    // key it then waits for ends the game.
    EXPECT_TRUE(exitedWith(play.waitExit(3s), 0));
    ASSERT_TRUE(play.expect(asOnTerminal(CLEAR + CLEAR + "“")));
    EXPECT_TRUE(play.expect(asOnTerminal("按下任意键继续……\n\n")));
    EXPECT_EQ(play.sinceMatch(), wayOut(false));
}

}  // namespace
