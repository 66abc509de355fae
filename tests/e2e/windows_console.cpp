// The Windows build played at a console, as a Windows player plays it: under
// Wine in a pseudo-terminal, whose console host turns the terminal's keys into
// console key events. Wine draws the console's screen again in its own bytes
// (and counts a Chinese character as one column), so these checks look for
// the texts in what reaches the terminal, never at screen positions.
//   windows_console_test HUANGLANG_EXE   (scripts/windows-smoke runs it)
#include <gtest/gtest.h>

#include <cstdio>
#include <thread>

#include "e2e/pty_game.h"

namespace {

std::string exe;  // the Windows build

const std::string REPLACEMENT = "\xef\xbf\xbd";
const std::string UP = "\x1b[A";
const std::string ALT_ESCAPE = "\x1b\x1b";
const std::string PROMPT = "请输入要查询的文档";
const std::string INDEX_TITLE = "当前可用的文章：";
// The index's last line, whole: a key sent before its line end is one the
// page takes, as a key pressed while a page is written. (The start-up's lines
// say "INIT red-rooms".)
const std::string INDEX_END = "\nred-rooms\r\r\n";

Launch windowsGame() {
    Launch launch = launchOf("/usr/bin/wine", {exe});
    launch.rows = 40;
    launch.columns = 100;
    return launch;
}

// What reached the terminal, without the cursor hiding and showing Wine
// wraps around each write.
std::string shown(const PtyGame& play) {
    std::string text = play.transcript();
    for (const std::string toggle : {"\x1b[?25h", "\x1b[?25l"}) {
        for (auto at = text.find(toggle); at != std::string::npos; at = text.find(toggle, at))
            text.erase(at, toggle.size());
    }
    return text;
}

std::size_t count(const std::string& text, const std::string& part) {
    std::size_t found = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++found;
    return found;
}

// Waits until text has reached the terminal `times` times in all.
bool shows(PtyGame& play, const std::string& text, std::size_t times = 1,
           std::chrono::milliseconds timeout = 20s) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (count(shown(play), text) < times) {
        if (std::chrono::steady_clock::now() >= until) return false;
        play.expect("\x01", 20ms);  // reads what has come meanwhile
    }
    return true;
}

// Every Chinese character whole and every escape sequence a sequence: a
// character split across writes shows as U+FFFD, a split sequence as text.
void expectWhole(const PtyGame& play) {
    const std::string text = shown(play);
    EXPECT_EQ(count(text, REPLACEMENT), 0U);
    EXPECT_EQ(count(text, "[1m"), count(text, "\x1b[1m"));
    EXPECT_EQ(count(text, "[0m"), count(text, "\x1b[0m"));
}

TEST(WindowsConsole, KeysAreWholeAndPagesArriveWhole) {
    PtyGame play(windowsGame());
    ASSERT_TRUE(shows(play, "浏览麦格终端再游戏", 1, 60s)) << visible(play.transcript());
    // Wine's console turns ESC ESC into one event, Escape with Alt held: it and
    // the letter right after it are two keys.
    play.send(ALT_ESCAPE + "b");
    ASSERT_TRUE(shows(play, "\bb")) << visible(shown(play));
    play.send("\r");
    ASSERT_TRUE(shows(play, PROMPT));
    play.send("lis" + UP + "t\r");  // an arrow in the middle of a key edits nothing
    ASSERT_TRUE(shows(play, INDEX_END)) << visible(shown(play));
    EXPECT_EQ(count(shown(play), INDEX_TITLE), 1U);
    expectWhole(play);

    play.send(UP);  // the any key after a page, and nothing of it left behind
    ASSERT_TRUE(shows(play, PROMPT, 2));
    play.send("lis\xc3\xa0\x7ft\r");  // à typed and erased
    ASSERT_TRUE(shows(play, INDEX_END, 2)) << visible(shown(play));

    play.send("x");
    ASSERT_TRUE(shows(play, PROMPT, 3));
    const auto pasted = std::chrono::steady_clock::now();
    play.send(std::string(10240, 'x') + "\x15" + "object-1\r");  // a paste, then Ctrl-U
    ASSERT_TRUE(shows(play, "Object", 1, 120s));
    std::printf("a 10 KB paste at a line, erased: %.1f s\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - pasted).count());
    play.send("\x03");  // Ctrl-C in the middle of a page ends the game
    EXPECT_TRUE(play.waitExit(20s).has_value());
    const std::string text = shown(play);
    EXPECT_GT(text.rfind("\x1b[0m"), text.rfind("Object"));  // the attributes reset
    expectWhole(play);
}

TEST(WindowsConsole, APipeIsReadAsItComes) {
    Launch launch = windowsGame();
    launch.pipedInput = true;
    PtyGame play(launch);
    ASSERT_TRUE(shows(play, "浏览麦格终端再游戏", 1, 60s)) << visible(play.transcript());
    std::this_thread::sleep_for(1s);
    play.send("b\r");  // a key that comes late is seen as it comes
    ASSERT_TRUE(shows(play, PROMPT, 1, 5s));
    play.send("list\r");  // and a page goes on at its pace while the pipe is quiet
    ASSERT_TRUE(shows(play, INDEX_END, 1, 10s)) << visible(shown(play));
    expectWhole(play);
    play.closeInput();
    EXPECT_TRUE(play.waitExit(20s).has_value());
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: windows_console_test HUANGLANG_EXE\n");
        return 2;
    }
    exe = argv[1];
    return RUN_ALL_TESTS();
}
