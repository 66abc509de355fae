// The kit on a real terminal: paced text, the space hurry, and the line editor
// as the terminal emulator draws it.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <thread>
#include <vector>

#include "e2e/pty_game.h"
#include "e2e/screen.h"

namespace {

Launch probe(std::vector<std::string> args) { return launchOf(KIT_PROBE_BINARY, std::move(args)); }

TEST(PacedText, TricklesInAndSpaceHurriesIt) {
    const std::string text(1500, '.');  // 30 s unhurried
    PtyGame play(probe({"pace", text}));
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(play.expect("..........", 2s));
    // Ten bytes take at least nine pauses; written at once they would come together.
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(180));
    ASSERT_TRUE(play.hurryTo("[done]", 10s)) << "the space did not hurry the text";
    EXPECT_EQ(play.transcript(), TITLE_SAVED + text + "[done]");
    play.send("q");
    ASSERT_TRUE(play.expect("[key 71]"));
}

TEST(LineEditor, EchoesAndErasesWholeCharactersOnScreen) {
    PtyGame play(probe({"lines"}));
    ASSERT_TRUE(play.expect("> "));
    play.send("黄廊");
    ASSERT_TRUE(play.expect("黄廊"));
    play.send("\x7f");
    ASSERT_TRUE(play.expect("\b \b\b \b"));
    play.send("list");
    ASSERT_TRUE(play.expect("list"));

    Screen screen;
    screen.feed(play.transcript());
    EXPECT_EQ(screen.row(0), "> 黄list");
    EXPECT_EQ(screen.cursorColumn(), 8);  // "> " 2, 黄 2, list 4

    play.send("\r\nx\r\r");                             // CR LF is one Enter
    ASSERT_TRUE(play.expect("[line e9bb846c697374]"));  // 黄 then list
    ASSERT_TRUE(play.expect("[line 78]"));
    ASSERT_TRUE(play.expect("[line ]"));
    EXPECT_TRUE(exitedWith(play.waitExit(), 0));
}

std::string hex(std::string_view bytes) {
    std::string shown;
    for (const char c : bytes) {
        static const char digits[] = "0123456789abcdef";
        shown += digits[static_cast<unsigned char>(c) >> 4];
        shown += digits[static_cast<unsigned char>(c) & 15];
    }
    return shown;
}

// Random typing and erasing, Latin and Chinese, and the line it leaves (never empty).
struct Edit {
    std::string keys;
    std::string line;
};

Edit randomEdit(std::mt19937& random) {
    static const std::vector<std::string> characters = {"a", "l", "0", "-", "黄", "廊", "层", "级"};
    Edit edit;
    std::vector<std::string> typed;
    const int steps = std::uniform_int_distribution<>(1, 60)(random);
    for (int step = 0; step < steps; ++step) {
        const int roll = std::uniform_int_distribution<>(0, 99)(random);
        if (roll < 25) {
            edit.keys += "\x7f";
            if (!typed.empty()) typed.pop_back();
        } else {
            typed.push_back(characters[static_cast<std::size_t>(roll) % characters.size()]);
            edit.keys += typed.back();
        }
    }
    if (typed.empty()) {  // an empty line would end the probe
        typed.emplace_back("x");
        edit.keys += "x";
    }
    for (const auto& character : typed) edit.line += character;
    return edit;
}

// At any width the rows of an edited line show the prompt and exactly what was
// typed, however often it wrapped and was erased back across the margin. The
// prompt is set in rows as any text; the typing, the player's own, is not.
TEST(LineEditor, KeepsTheScreenEqualToTheLineAtAnyWidth) {
    const std::string prompt = "请输入要查询的文档（不输入则退出终端）：";  // 40 columns
    std::string twenty;
    for (int i = 0; i < 20; ++i) twenty += "黄";
    std::vector<Edit> edits = {
        {"a" + twenty + std::string(21, '\x7f') + "x", "x"},
        {"level-0\x7f\x7f"
         "0",
         "level0"},
        {"a" + twenty +
             "\x7f\x7f"
             "bc",
         "a" + twenty.substr(0, 54) + "bc"},
        {"ab😀\x7f〈\x7f", "ab"},                                       // two columns each
        {"e\u0483\u302a\u1160x", "e\u0483\u302a\u1160x"},              // marks take none
        {"e\u0301\x7fx", "x"},                                         // and go with their base
        {"ab\u009b2J\u009d0;X\u009c", "ab2J0;X"},                      // C1 controls dropped
        {"li\x1b[As\x1b[15~\x1b[M !!t\x1b]11;rgb:0/0/0\x07", "list"},  // keys and reports
        {"\x1b[Il\x1b[<0;10;5Mi\x1b[[As\x1b[?64;1;2ct", "list"},       // the Linux console's F1
        {std::string(2000, 'x') + "\x15level-1", "level-1"},           // no taller than the window
    };
    std::mt19937 random(11);
    for (int i = 0; i < 12; ++i) edits.push_back(randomEdit(random));

    // Piped: the output goes into a pipe (a log), the keys come from the terminal.
    for (const auto& [width, piped] :
         {std::pair<unsigned short, bool>{20, false}, {41, false}, {80, false}, {20, true}}) {
        SCOPED_TRACE(width);
        Launch launch = probe({"lines", prompt});
        launch.columns = width;
        launch.pipedOutput = piped;
        PtyGame play(launch);
        std::size_t start = 0;  // where the prompt begins
        ASSERT_TRUE(play.expect(prompt));
        for (const Edit& edit : edits) {
            SCOPED_TRACE(edit.keys);
            play.send(edit.keys + "\r");
            const std::string lineEnd = piped ? "\n" : "\r\n";
            const std::string report = std::string(lineEnd)
                                           .append("[line ")
                                           .append(hex(edit.line))
                                           .append("]")
                                           .append(lineEnd);
            ASSERT_TRUE(play.expect(report));
            const std::size_t end = play.transcript().find(lineEnd + "[line ", start);

            Screen screen(60, width);
            screen.feed(play.transcript().substr(start, end - start));
            std::string shown;
            for (int row = 0; row <= screen.cursorRow(); ++row) shown += screen.row(row);
            EXPECT_EQ(shown, prompt + edit.line);
            if (width == 20) {
                EXPECT_EQ(screen.row(1), "（不输入则退出终");  // not "不输入则退出终端）："
            }
            for (int row = screen.cursorRow() + 1; row < 60; ++row) EXPECT_EQ(screen.row(row), "");
            start = play.transcript().size() - play.sinceMatch().size();
            ASSERT_TRUE(play.expect(prompt));
        }
        play.send("\r");
        EXPECT_TRUE(exitedWith(play.waitExit(), 0));
    }
}

// A window edge dragged sends a size for every step: once the size has
// settled the line is drawn again in place, once, from the row it starts on
// (as the terminal has rewrapped it). A line on one row that still fits, or a
// change of height alone, draws nothing.
TEST(LineEditor, DrawsTheLineAgainInPlaceOnceADragHasSettled) {
    PtyGame play(probe({"lines"}));
    ASSERT_TRUE(play.expect("> "));
    play.send("abcdefghij");
    ASSERT_TRUE(play.expect("abcdefghij"));
    play.resize(30, 80);
    play.resize(30, 40);
    for (int step = 0; step < 80; ++step) {
        play.resize(30, static_cast<unsigned short>(8 + step % 3));  // ends at 9 columns
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_TRUE(play.expect("\r\x1b[1A\x1b[J> abcdefghij"));
    play.send("\r");
    ASSERT_TRUE(play.expect("[line 6162636465666768696a]\r\n> "));
    EXPECT_EQ(play.transcript(), TITLE_SAVED +
                                     "> abcdefghij\r\x1b[1A\x1b[J> "
                                     "abcdefghij\r\n[line 6162636465666768696a]\r\n> ");
    play.send("\r");
    EXPECT_TRUE(exitedWith(play.waitExit(), 0));
}

TEST(LineEditor, KeepsKeysTypedAheadInOrder) {
    PtyGame play(probe({"lines"}));
    play.send("level-0\rlist\r\r");  // all typed before the first prompt is read
    ASSERT_TRUE(play.expect("[line 6c6576656c2d30]"));
    ASSERT_TRUE(play.expect("[line 6c697374]"));
    ASSERT_TRUE(play.expect("[line ]"));
    EXPECT_TRUE(play.waitExit().has_value());
}

}  // namespace
