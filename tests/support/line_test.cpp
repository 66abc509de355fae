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

    std::string yellow;
    for (int i = 0; i < 1366; ++i) yellow += "黄";  // 4098 bytes: the cap falls inside one
    for (const std::string before : {"", "xx"}) {   // one byte of a character past the cap, or two
        Script::reset(false);
        Script::type(before + yellow + "\n");
        EXPECT_EQ(readLine(), before + yellow.substr(0, (MAX_LINE - before.size()) / 3 * 3));
    }
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
    // One Backspace erases e and a combining acute, ✓ and a variation selector.
    Script::reset(true);
    Script::type("e\xcc\x81\x7fxa\xe2\x9c\x93\xef\xb8\x8f\x7f\r");
    EXPECT_EQ(readLine(), "xa");
    EXPECT_BYTES("e\xcc\x81\b \bxa\xe2\x9c\x93\xef\xb8\x8f\b \b\n", Script::output());

    // Unicode's widths: an emoji takes two columns, combining marks (Cyrillic,
    // Hangul, ideographic) none, and an angle bracket two.
    Script::reset(true);
    Script::type("ab😀\x7f\xd2\x83\xe1\x85\xa0\xe3\x80\xaa\x7f〈\x7f\r");
    EXPECT_EQ(readLine(), "a");
    EXPECT_BYTES("ab😀\b \b\b \b\xd2\x83\xe1\x85\xa0\xe3\x80\xaa\b \b〈\b \b\b \b\n",
                 Script::output());
}

// Only characters go into a line: controls (C1 ones too, which a terminal
// would act on), broken bytes, keys that send escape sequences and the
// reports a terminal sends unasked are dropped whole.
TEST(TerminalLines, TakeCharactersAndNothingElse) {
    Script::reset(true);
    Script::type(
        "ab\xc2\x9b"
        "2J\xc2\x9d"
        "0;X\xc2\x9c\xe9\xbb"
        "c\x1b[15~\x1b[M !!\x1b]11;rgb:1c1c/1c1c/1c1c\x1b\\"
        "d\x1b]10;rgb:d0d0/d0d0/d0d0\x07\x1bx\x1b\r");
    EXPECT_EQ(readLine(), "ab2J0;Xcd");
    EXPECT_BYTES("ab2J0;Xcd\n", Script::output());
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

    std::string yellow;
    for (int i = 0; i < 1366; ++i) yellow += "黄";
    Script::reset(true);
    Script::type(yellow + "\r");
    EXPECT_EQ(readLine(), yellow.substr(0, MAX_LINE - 1));
    EXPECT_BYTES(yellow.substr(0, MAX_LINE - 1) + "\n", Script::output());
}

// Where the rows it started on would scroll away, no erase could reach them:
// the line stops growing at the window's height, and a window made lower cuts it.
TEST(TerminalLines, GrowNoTallerThanTheWindow) {
    Script::reset(true);
    Script::resizeAt(Millis(0), 10, 3);
    Script::type(std::string(40, 'x'));
    Script::typeAt(Millis(10), "\r");
    EXPECT_EQ(readLine("> "), std::string(28, 'x'));
    EXPECT_BYTES("> " + std::string(28, 'x') + "\n", Script::output());

    Script::reset(true);
    Script::resizeAt(Millis(0), 10, 3);
    Script::type(std::string(20, 'x'));
    Script::resizeAt(Millis(10), 10, 2);
    Script::typeAt(Millis(200), "\r");
    EXPECT_EQ(readLine("> "), std::string(18, 'x'));
    EXPECT_BYTES("> " + std::string(20, 'x') + "\r\x1b[2A\x1b[J> " + std::string(18, 'x') + "\n",
                 Script::output());
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

// After a suspend the shell's lines stand below the prompt: the line again on
// a fresh one. A window dragged to a new width sends many sizes: the line is
// drawn again in place once, when the size has settled, or at once when a key
// comes first. A line that stood on one row and still fits is left alone.
TEST(TerminalLines, AreDrawnAgainAfterASuspendAndOnceTheSizeHasSettled) {
    Script::reset(true);
    Script::resizeAt(Millis(0), 10, 24);
    Script::type("abcdef");
    Script::resumeAt(Millis(10));
    for (int i = 0; i < 20; ++i) Script::resizeAt(Millis(20 + 5 * i), 6 - i % 2, 24);
    Script::typeAt(Millis(400), "g\r");
    EXPECT_EQ(readLine("> "), "abcdefg");
    EXPECT_BYTES("> abcdef\n> abcdef\r\x1b[1A\x1b[J> abcdefg\n", Script::output());
    const auto& redrawn = Script::writes()[Script::writes().size() - 3];
    EXPECT_EQ(redrawn.at, Millis(215));  // the last size, at 115, has stood for 100 ms

    Script::reset(true);
    Script::resizeAt(Millis(0), 10, 24);
    Script::type("abcdef");
    Script::resizeAt(Millis(20), 5, 24);
    Script::resizeAt(Millis(25), 40, 24);  // a size that still fits: nothing to draw
    Script::resizeAt(Millis(30), 5, 24);
    Script::typeAt(Millis(40), "g\r");
    EXPECT_EQ(readLine("> "), "abcdefg");
    EXPECT_BYTES("> abcdef\r\x1b[1A\x1b[J> abcdefg\n", Script::output());
    EXPECT_EQ(Script::writes()[2].at, Millis(40));
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
