// The kit on a real terminal: paced text, the space hurry, and the line editor
// as the terminal emulator draws it.
#include <gtest/gtest.h>

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
    EXPECT_EQ(play.transcript(), text + "[done]");
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

    play.send("\r");
    ASSERT_TRUE(play.expect("[line e9bb846c697374]"));  // 黄 then list
    play.send("\r");
    ASSERT_TRUE(play.expect("[line ]"));
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
