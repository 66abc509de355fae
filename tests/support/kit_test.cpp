// The console kit against the scripted console: exact bytes, and exact moments
// on the virtual clock.
#include <gtest/gtest.h>

#include "support/functions.h"
#include "support/script.h"

using namespace Game;
using Script::Millis;

namespace {

class Kit : public ::testing::Test {
  protected:
    void SetUp() override { Script::reset(); }
};

// Moments of the writes, for pacing checks.
std::vector<long> moments() {
    std::vector<long> at;
    for (const auto& write : Script::writes()) at.push_back(static_cast<long>(write.at.count()));
    return at;
}

TEST(EscapeConstants, AreTheVtSequences) {
    EXPECT_BYTES("\x1b[2J\x1b[0;0H", CLEAR);
    EXPECT_BYTES("\x1b[2J", screenClear);
    EXPECT_EQ(sizeof screenClear, 5U);
    EXPECT_BYTES("\x1b[1A\x1b[1B", LLINE NLINE);
    EXPECT_BYTES("\x1b[0m\x1b[1m\x1b[22m\x1b[4m\x1b[24m", COLOR BOLD NBOLD UNDLI NUNDLI);
    EXPECT_BYTES("\x1b[30m\x1b[31m\x1b[32m\x1b[33m\x1b[34m\x1b[35m\x1b[36m\x1b[37m\x1b[39m",
                 FBLACK FRED FGREEN FYELLOW FBLUE FMAGENTA FCYAN FWHITE FDEFAULT);
    EXPECT_BYTES("\x1b[40m\x1b[41m\x1b[42m\x1b[43m\x1b[44m\x1b[45m\x1b[46m\x1b[47m\x1b[49m",
                 BBLACK BRED BGREEN BYELLOW BBLUE BMAGENTA BCYAN BWHITE BDEFAULT);
}

TEST_F(Kit, TerminalOperationsWriteTheirSequences) {
    moveCursor(5, 3);
    EXPECT_BYTES("\x1b[3;5H", Script::output());

    Script::reset();
    moveCursor(-4, -12);
    EXPECT_BYTES("\x1b[-12;-4H", Script::output());

    Script::reset();
    editTitle("");
    editTitle("黄廊探索");
    EXPECT_BYTES("\x1b]0;\a\x1b]0;黄廊探索\a", Script::output());

    Script::reset();
    editWinLength(100);
    editWinLength(0);
    EXPECT_TRUE(Script::writes().empty());
    editWinLength(80);
    editWinLength(132);
    EXPECT_BYTES("\x1b[?3l\x1b[?3h", Script::output());
}

TEST_F(Kit, StatementFormsWriteAtOnceOrPaced) {
    PRNT(CLEAR)
    ASSERT_EQ(Script::writes().size(), 1U);
    EXPECT_EQ(Script::now(), Millis(0));
    SHOW("ab")
    EXPECT_EQ(Script::now(), Millis(40));
    SLEP(15)
    EXPECT_EQ(Script::now(), Millis(55));
    Script::typeAt(Millis(70), "z");
    WAIT
    EXPECT_EQ(Script::now(), Millis(70));
    EXPECT_BYTES(CLEAR "ab", Script::output());
}

TEST_F(Kit, SlowOutputWritesByteByByteOnSchedule) {
    slowOutput("", 20, true);
    EXPECT_TRUE(Script::writes().empty());
    EXPECT_EQ(Script::now(), Millis(0));

    slowOutput("a廊", 20, true);             // one ASCII byte and three bytes of one character
    ASSERT_EQ(Script::writes().size(), 2U);  // a character whole, at its last byte's step
    EXPECT_EQ(moments(), (std::vector<long>{0, 60}));
    EXPECT_EQ(Script::now(), Millis(80));  // a pause after the last byte too
    EXPECT_BYTES("a廊", Script::output());
}

// A suspend resets the terminal's attributes for the shell's lines: when the
// game is back, its next write sets them again, so the text goes on in its
// style; a character begun is held whole until its last byte.
TEST_F(Kit, TextGoesOnInItsStyleAfterASuspend) {
    Script::resumeAt(Millis(110));  // between the first and second bytes of 黄
    Script::resumeAt(Millis(500));  // after the reset: plain, nothing to set again
    slowOutput("\x1b[1mA黄\x1b[0m", 20, true);
    slowOutput("xy", 20, true);
    EXPECT_BYTES("\x1b[1mA\x1b[1m黄\x1b[0mxy", Script::output());
}

// At a width it knows, the kit ends a row early, with spaces to the margin,
// where the next piece would cross it: never before a closing mark, after an
// opening one or inside a word. Elsewhere the bytes are the text's own.
TEST_F(Kit, TextIsSetInRowsWhereTheWidthIsKnown) {
    print(CLEAR "一二三四，五六");  // no width: as it is
    EXPECT_BYTES(CLEAR "一二三四，五六", Script::output());
    EXPECT_EQ(outputColumn(), 14);

    Script::reset();
    Script::resizeAt(Millis(0), 10);
    print("一");
    EXPECT_EQ(outputColumn(), std::nullopt);  // a new width: lost until a line feed
    print("\n一二三四五，六\n一二三（四）\nab level-0 x\n一二a" UNDLI "三四五" COLOR);
    EXPECT_BYTES(
        "一\n一二三四  五，六\n一二三    （四）\nab        level-0 x\n"
        "一二a\x1b[4m三四\x1b[0m \x1b[4m五\x1b[0m",
        Script::output());
    EXPECT_EQ(outputColumn(), 2);

    Script::reset();
    Script::resizeAt(Millis(0), 10);
    print("\nabcdefghij klm");  // a space that would begin a row is dropped
    print("\n");
    slowOutput("一二三四五，六", 20, true);  // the padding goes with the character after it
    EXPECT_BYTES("\nabcdefghijklm\n一二三四  五，六", Script::output());
    EXPECT_EQ(moments(), (std::vector<long>{0, 0, 40, 100, 160, 220, 280, 340, 400}));
    EXPECT_EQ(Script::now(), Millis(420));
}

TEST_F(Kit, SlowOutputStartsAFreshScheduleAfterAStall) {
    Script::stallWrite(1, Millis(1000));  // the terminal stops reading at the second byte
    slowOutput("abcde", 20, true);
    // Without re-anchoring, c, d and e would burst out at 1020 to catch up.
    EXPECT_EQ(moments(), (std::vector<long>{0, 20, 1040, 1060, 1080}));
}

TEST_F(Kit, SpaceOrEnterHurriesTheRestOfOneText) {
    for (const char* hurry : {" ", "\r", "\n"}) {
        Script::reset();
        Script::typeAt(Millis(30), hurry);
        slowOutput("abcdef", 20, true);
        // The key ends the pause after b at once; it is taken after c, and the
        // rest follows in one write.
        EXPECT_EQ(moments(), (std::vector<long>{0, 20, 30, 30})) << visible(hurry);
        EXPECT_BYTES("def", Script::writes().back().bytes);
        EXPECT_FALSE(keyPressed());

        slowOutput("xy", 20, true);  // the next text is paced again
        EXPECT_EQ(Script::now(), Millis(70));
    }
}

TEST_F(Kit, OtherKeysWaitOutThePauseAndAreDropped) {
    Script::typeAt(Millis(30), "x");
    slowOutput("abcd", 20, true);
    EXPECT_EQ(moments(), (std::vector<long>{0, 20, 40, 60}));
    EXPECT_FALSE(keyPressed());
}

TEST_F(Kit, SlowOutputTakesAtMostOneKeyPerByte) {
    Script::type("pq rs");
    slowOutput("abcdef", 20, true);
    // p after a, q after b; the waiting space cuts that pause short and is taken
    // after c; the rest at once, r and s dropped with it.
    EXPECT_EQ(moments(), (std::vector<long>{0, 20, 20, 20}));
    EXPECT_FALSE(keyPressed());

    Script::reset();
    Script::type("pq uvwxyz");
    slowOutput("abcdef", 20, true);
    EXPECT_EQ(readKey(), 'x');  // three bytes were left after the hurry: u, v, w dropped

    Script::reset();
    Script::type("pqrstu");
    slowOutput("ab", 20, true);
    EXPECT_EQ(Script::now(), Millis(40));  // other keys never hurry
    EXPECT_EQ(readKey(), 'r');             // two taken, four still waiting
}

TEST_F(Kit, AKeyDuringTheLastPauseWaitsForTheNextRead) {
    Script::typeAt(Millis(30), "\r");
    slowOutput("ab", 20, true);
    EXPECT_EQ(Script::now(), Millis(40));  // the last pause runs out even for Enter
    ASSERT_TRUE(keyPressed());
    char cell = 0;
    EXPECT_EQ(selector(cell, "ab"), 'a');  // that Enter confirms the default

    Script::reset();
    Script::typeAt(Millis(30), "x");
    slowOutput("ab", 20, true);
    WAIT
    EXPECT_EQ(Script::now(), Millis(40));  // WAIT took the pending key without waiting
}

TEST_F(Kit, KeysDuringTextDoNotReachTheNextChoice) {
    Script::type("b\r");
    slowOutput("abc", 20, true);  // takes b, then Enter hurries
    Script::type("\r");
    char cell = 0;
    EXPECT_EQ(selector(cell, "ab"), 'a');
}

TEST_F(Kit, WithoutSkipTheTextIsPacedAndKeysWait) {
    Script::type(" b");
    slowOutput("abc", 20, false);
    EXPECT_EQ(moments(), (std::vector<long>{0, 20, 40}));
    EXPECT_EQ(Script::now(), Millis(60));
    EXPECT_EQ(readKey(), ' ');
    EXPECT_EQ(readKey(), 'b');
}

TEST_F(Kit, ZeroPauseWritesEverythingAtOnce) {
    slowOutput("abc", 0, true);
    EXPECT_EQ(moments(), (std::vector<long>{0, 0, 0}));
}

TEST_F(Kit, SelectorDefaultsToTheFirstLetter) {
    char cell = 'z';
    Script::type("\r");
    EXPECT_EQ(selector(cell, "ab"), 'a');
    EXPECT_EQ(cell, 'a');
    EXPECT_BYTES("a", Script::output());
}

TEST_F(Kit, SelectorReplacesTheShownLetterInPlace) {
    char cell = 0;
    Script::type("b\r");
    EXPECT_EQ(selector(cell, "ab"), 'b');
    EXPECT_EQ(cell, 'b');
    EXPECT_BYTES("a\bb", Script::output());

    Script::reset();
    Script::type("ca\r");
    EXPECT_EQ(selector(cell, "abc"), 'a');
    EXPECT_BYTES("a\bc\ba", Script::output());

    Script::reset();
    Script::type("aa\r");  // the shown letter again writes it again
    EXPECT_EQ(selector(cell, "ab"), 'a');
    EXPECT_BYTES("a\ba\ba", Script::output());
}

TEST_F(Kit, SelectorIgnoresKeysThatAreNoOption) {
    char cell = 0;
    Script::type("xBc\x1b[A \t黄\x1b[15~\x1bOP\x1b[M !!\x1b]11;rgb:0/0/0\x07\r");
    EXPECT_EQ(selector(cell, "ab"), 'a');
    EXPECT_BYTES("a", Script::output());
}

// A key is what one key press sends, whole: an arrow, a function key, a
// Chinese character from an input method; a terminal's report is none. The wait for
// any key takes one and leaves nothing of it; a paced text takes one a byte.
TEST_F(Kit, KeysAreTakenWhole) {
    Script::type(
        "\x1b[A\x1b[15~\x1b[[A黄\x1b[I\x1b[<0;10;5M\x1b]11;rgb:0/0/0\x07\x1b[?64;1;2c\x1bx\x1b黄b");
    for (int key = 0; key < 6; ++key) {  // Alt and a key, too
        WAIT
    }
    EXPECT_EQ(readKey(), 'b');
    EXPECT_EQ(Script::now(), Millis(0));

    Script::type("\x1b");  // Escape alone is a key too, once nothing follows it
    Script::typeAt(Millis(100), "c");
    WAIT
    EXPECT_EQ(Script::now(), Millis(30));
    EXPECT_EQ(readKey(), 'c');

    Script::reset();
    Script::type("\x1b[A\x1b[O黄 x");
    slowOutput("abcdef", 20, true);  // the arrow after a, 黄 after b, the space after c
    EXPECT_EQ(moments(), (std::vector<long>{0, 20, 20, 20}));
    EXPECT_FALSE(keyPressed());
}

TEST_F(Kit, SelectorWithNoOptionsReturnsAtOnce) {
    char cell = 'q';
    Script::type("b\r");
    EXPECT_EQ(selector(cell, ""), 0);
    EXPECT_EQ(cell, 'q');
    EXPECT_TRUE(Script::writes().empty());
    EXPECT_EQ(readKey(), 'b');  // no key was read
}

TEST_F(Kit, SelectorShowsItsLetterAgainAfterASuspend) {
    char cell = 0;
    Script::typeAt(Millis(5), "b");
    Script::resumeAt(Millis(10));
    Script::resizeAt(Millis(15), 40);  // a resize alone redraws nothing
    Script::typeAt(Millis(20), "a\r");
    EXPECT_EQ(selector(cell, "ab"), 'a');
    EXPECT_BYTES("a\bb\n》b\ba", Script::output());
}

TEST_F(Kit, EveryKindOfEnterIsOneEnter) {
    char cell = 0;
    Script::type("b\n");  // LF alone
    EXPECT_EQ(selector(cell, "ab"), 'b');
    Script::type("b\r\n");  // a CR LF pair
    EXPECT_EQ(selector(cell, "ab"), 'b');
    Script::type("b\r");
    EXPECT_EQ(selector(cell, "ab"), 'b');  // the LF of that pair did not confirm this one
    Script::type("x\r\ny");
    EXPECT_EQ(readKey(), 'x');
    EXPECT_EQ(readKey(), ENTER);
    EXPECT_EQ(readKey(), 'y');

    Script::reset();
    Script::type("\r");
    Script::typeAt(Millis(5), "\nz");  // the pair split across two reads
    EXPECT_EQ(readKey(), ENTER);
    EXPECT_EQ(readKey(), 'z');
}

TEST_F(Kit, EndOfInputEndsTheGameQuietly) {
    Script::type("b");
    Script::endInput();
    try {
        char cell = 0;
        selector(cell, "ab");
        FAIL() << "selector returned after input ended";
    } catch (const Script::Quit& quit) {
        EXPECT_EQ(quit.code, 0);
    }
    EXPECT_BYTES("a\bb", Script::output());
    EXPECT_FALSE(keyPressed());

    // No key can come any more: the text goes out whole and at once.
    Script::reset();
    Script::typeAt(Millis(30), "x");
    Script::endInput();
    slowOutput("abcdef", 20, true);
    // x is taken after c, the end found in the pause after it: d, then the rest.
    EXPECT_EQ(moments(), (std::vector<long>{0, 20, 40, 40, 40}));
    EXPECT_BYTES("ef", Script::writes().back().bytes);
}

TEST_F(Kit, ClosedOutputEndsTheGameQuietly) {
    Script::closeOutput();
    try {
        slowOutput("story", 20, true);
        FAIL() << "writing went on with output closed";
    } catch (const Script::Quit& quit) {
        EXPECT_EQ(quit.code, 0);
    }
    EXPECT_EQ(Script::now(), Millis(0));
}

}  // namespace
