// The line reader: plain lines from a pipe, an editing line on a terminal, and
// one buffer shared with the key reader.
#include <gtest/gtest.h>

#include "support/functions.h"
#include "support/script.h"

using namespace Game;
using Script::Millis;

namespace {

TEST(PipedLines, AreTakenAsTheyCome) {
    Script::reset(false);
    Script::type("level-0\r\nlist\rred-rooms\nLevel-0 \n\x7f\n");
    Script::endInput();
    EXPECT_EQ(readLine(), "level-0");
    EXPECT_EQ(readLine(), "list");
    EXPECT_EQ(readLine(), "red-rooms");
    EXPECT_EQ(readLine(), "Level-0 ");
    EXPECT_EQ(readLine(), "\x7f");          // no editing on a pipe
    EXPECT_TRUE(Script::writes().empty());  // and no echo
}

TEST(PipedLines, ALastLineWithoutItsEndStillCounts) {
    Script::reset(false);
    Script::type("level-1\nobject-1");
    Script::endInput();
    EXPECT_EQ(readLine(), "level-1");
    EXPECT_EQ(readLine(), "object-1");
    EXPECT_EQ(readLine(), "");
    EXPECT_EQ(readLine(), "");  // every read after the end is an empty line
}

TEST(PipedLines, AreHeldToTheLimit) {
    Script::reset(false);
    Script::type(std::string(MAX_LINE + 900, 'x') + "\nlist\n");
    EXPECT_EQ(readLine(), std::string(MAX_LINE, 'x'));
    EXPECT_EQ(readLine(), "list");  // the overflow was dropped, not carried over
}

TEST(TerminalLines, EchoWhatIsTyped) {
    Script::reset(true);
    Script::type("level-0\r");
    EXPECT_EQ(readLine(), "level-0");
    EXPECT_BYTES("level-0\n", Script::output());
}

TEST(TerminalLines, BackspaceErasesOneWholeCharacter) {
    Script::reset(true);
    Script::type("黄廊\x7f");
    Script::type("x\x08\r");
    EXPECT_EQ(readLine(), "黄");
    // Two columns for the wide character, one for the ASCII letter.
    EXPECT_BYTES("黄廊\b \b\b \bx\b \b\n", Script::output());

    Script::reset(true);
    Script::type("\177\177ab\177\177\177c\r");  // nothing to erase: nothing written
    EXPECT_EQ(readLine(), "c");
    EXPECT_BYTES("ab\b \b\b \bc\n", Script::output());
}

TEST(TerminalLines, EraseHandlesAccentsAndBrokenText) {
    Script::reset(true);
    Script::type("e\xcc\x81\x7f\x7f\r");  // e and a combining acute: the accent takes no column
    EXPECT_EQ(readLine(), "");
    EXPECT_BYTES("e\xcc\x81\b \b\n", Script::output());

    Script::reset(true);
    Script::type("a\xe2\x9c\x93\xef\xb8\x8f\x7f\x7f\r");  // ✓ and a variation selector
    EXPECT_EQ(readLine(), "a");
    EXPECT_BYTES("a\xe2\x9c\x93\xef\xb8\x8f\b \b\n", Script::output());

    Script::reset(true);
    Script::type("a\xe9\xbb\x7f\r");  // a cut-off sequence goes a byte at a time
    EXPECT_EQ(readLine(), "a\xe9");
}

TEST(TerminalLines, CtrlUErasesTheLine) {
    Script::reset(true);
    Script::type("廊a\x15list\r");
    EXPECT_EQ(readLine(), "list");
    EXPECT_BYTES("廊a\b \b\b \b\b \blist\n", Script::output());
}

TEST(TerminalLines, ArrowKeysAndControlBytesEditNothing) {
    Script::reset(true);
    Script::type("li\x1b[D\x1b[A\x1bOB\x01\t\x04st\r");
    EXPECT_EQ(readLine(), "list");
    EXPECT_BYTES("list\n", Script::output());
}

TEST(TerminalLines, AreHeldToTheLimitOnScreenToo) {
    Script::reset(true);
    Script::type(std::string(MAX_LINE + 10, 'y') + "\r");
    EXPECT_EQ(readLine().size(), MAX_LINE);
    EXPECT_EQ(Script::output().size(), MAX_LINE + 1);
}

TEST(TerminalLines, EraseCrossesTheRowsALongLineWrapsOnto) {
    Script::reset(true);
    Script::resizeAt(Millis(0), 10);
    Script::resumeAt(Millis(0));  // before the line starts: nothing to draw again
    Script::type("abcdefgh黄\x7f\x7f\x7f\r");
    EXPECT_EQ(readLine("> "), "abcdef");
    // 黄 went to the second row; h filled the first to its margin, where only
    // moving the cursor up and along reaches it.
    EXPECT_BYTES("> abcdefgh黄\b \b\b \b\x1b[1A\r\x1b[9C\x1b[K\b \b\n", Script::output());

    Script::reset(true);
    Script::resizeAt(Millis(0), 10);
    Script::type("abcdefg黄\x7fx\r");
    EXPECT_EQ(readLine("> "), "abcdefgx");
    // 黄 did not fit in the last column; x goes back there.
    EXPECT_BYTES("> abcdefg黄\b \b\b \b\x1b[1A\r\x1b[9Cx\n", Script::output());
}

TEST(TerminalLines, AreDrawnAgainAfterASuspendOrAResize) {
    Script::reset(true);
    Script::type("ab");
    Script::resumeAt(Millis(10));
    Script::resizeAt(Millis(20), 30);
    Script::resizeAt(Millis(25), 30);  // the same width again: nothing to draw
    Script::typeAt(Millis(30), "c\r");
    EXPECT_EQ(readLine("> "), "abc");
    EXPECT_BYTES("> ab\n> ab\n> abc\n", Script::output());
}

TEST(SharedInput, KeysAndLinesKeepTheirOrder) {
    Script::reset(true);
    Script::type("b\r\nlevel-0\nx\r");
    char cell = 0;
    EXPECT_EQ(selector(cell, "abc"), 'b');
    EXPECT_EQ(readLine(), "level-0");  // the LF of the Enter was not an empty line
    EXPECT_EQ(readKey(), 'x');
    EXPECT_EQ(readKey(), ENTER);
}

}  // namespace
