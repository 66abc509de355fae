// Whole plays of the story at a real terminal, every branch of it, the way a
// player plays: each paced text hurried with one space, each choice a letter and
// Enter, each "按下任意键继续……" a key. Each play runs at the widths of a phone
// (46, 49), of a terminal (80) and of a wide one (132), and every row it showed
// must be set as a Chinese page is set.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "e2e/pty_game.h"
#include "e2e/screen.h"
#include "e2e/walk.h"

namespace {

const std::string NEVER_FIRST = "）】」』〉》”’、，。；：？！";
const std::string NEVER_LAST = "（【「『〈《“‘";

std::string firstOf(const std::string& row) {
    const auto lead = static_cast<unsigned char>(row[0]);
    return row.substr(0, lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4);
}

std::string lastOf(const std::string& row) {
    std::size_t start = row.size() - 1;
    while (start > 0 && (static_cast<unsigned char>(row[start]) & 0xC0) == 0x80) --start;
    return row.substr(start);
}

// The length of a Latin word parted between a full row and the next; INT_MAX for none.
int partedWord(const std::string& above, const std::string& row) {
    const auto inWord = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '.' ||
               c == '/' || c == '_' || c == ':';
    };
    const auto tail = std::find_if_not(above.rbegin(), above.rend(), inWord) - above.rbegin();
    const auto head = std::find_if_not(row.begin(), row.end(), inWord) - row.begin();
    return tail > 0 && head > 0 ? static_cast<int>(tail + head) : INT_MAX;
}

// The rows of every screen a play showed, one below the other, that a Chinese
// page would not set so: one that begins with a closing or pausing mark, a
// space or the second half of …… or ——, or ends with an opening mark, or a
// Latin word shorter than a row parted between two.
std::vector<std::string> badlySet(std::string transcript, int width) {
    for (auto at = transcript.find(CLEAR); at != std::string::npos; at = transcript.find(CLEAR, at))
        transcript.replace(at, CLEAR.size(), "\r\n");
    constexpr int ROWS = 3000;
    Screen screen(ROWS, width);
    std::vector<bool> wrapped(ROWS, true);  // false for the rows a line feed began
    for (std::size_t from = 0, to = 0; from < transcript.size(); from = to) {
        to = std::min(transcript.find('\n', from), transcript.size() - 1) + 1;
        screen.feed(std::string_view(transcript).substr(from, to - from));
        wrapped[screen.cursorRow()] = false;
    }
    std::vector<std::string> bad;
    for (int r = 1; r < ROWS; ++r) {
        const std::string above = screen.row(r - 1);
        const std::string row = screen.row(r);
        // The player's typing at the terminal's prompt is theirs, not set.
        if (row.empty() || above.starts_with(TERMINAL_PROMPT)) continue;
        const bool full = wrapped[r] && screen.lastCell(r - 1) != ' ';
        const std::string first = firstOf(row);
        const bool parted = (first == "…" || first == "—") && full && lastOf(above) == first;
        if ((wrapped[r] && NEVER_FIRST.find(first) != std::string::npos) || parted ||
            NEVER_LAST.find(lastOf(row)) != std::string::npos || (wrapped[r] && first == " ") ||
            (full && partedWord(above, row) < width)) {
            bad.push_back(above + '|');
            bad.back() += row;
        }
    }
    return bad;
}

class Level0 : public testing::TestWithParam<int> {};
class Level1 : public testing::TestWithParam<int> {};
INSTANTIATE_TEST_SUITE_P(Widths, Level0, testing::Values(46, 49, 80, 132));
INSTANTIATE_TEST_SUITE_P(Widths, Level1, testing::Values(46, 49, 80, 132));

TEST_P(Level0, StraightToTheRedRoom) {
    Walk walk(HUANGLANG_BINARY, 24, GetParam());
    walk.toLevel0();
    walk.choose('a');
    walk.read(FORK);
    walk.choose('b');
    walk.read(ANY_KEY);
    EXPECT_TRUE(walk.shows("\n\n结局 #1：红室\n\n"));
    walk.anyKey();
    walk.endsWith(395);

    Screen screen(24, GetParam());  // the last screen, as it stays when the game has ended
    screen.feed(walk.play.transcript());
    EXPECT_EQ(screen.row(0), "你已完成本次游戏。分数：0；剩余体力：395。");
    EXPECT_EQ(screen.row(1), "");
    EXPECT_EQ(screen.cursorRow(), 1);
    EXPECT_EQ(screen.cursorColumn(), 0);
    EXPECT_EQ(walk.play.sinceMatch(), wayOut(false));
    EXPECT_EQ(badlySet(walk.play.transcript(), GetParam()), std::vector<std::string>{});
}

TEST_P(Level0, RestingThenTheRightWayKeepsTheStamina) {
    Walk walk(HUANGLANG_BINARY, 24, GetParam());
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
    EXPECT_EQ(badlySet(walk.play.transcript(), GetParam()), std::vector<std::string>{});
}

// The typical road, with every way out of the base and of an exploration.
TEST_P(Level1, GreetingTheStrangerThenEveryWayRoundTheBase) {
    Walk walk(HUANGLANG_BINARY, 24, GetParam());
    walk.greetingTheStrangerToTheBase();

    // The base as the player sees it: the dialogue's end, the panel, the menu.
    Screen screen(24, GetParam());
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
    EXPECT_EQ(lastOf(screen.row(r - 8)), "）")
        << screen.row(r - 8);  // ……探险者终端，供你查阅文档）

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
    EXPECT_EQ(badlySet(walk.play.transcript(), GetParam()), std::vector<std::string>{});
}

TEST_P(Level1, IgnoringTheStrangerStillLeavesTheBasesTerminal) {
    Walk walk(HUANGLANG_BINARY, 24, GetParam());
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
    EXPECT_EQ(badlySet(walk.play.transcript(), GetParam()), std::vector<std::string>{});
}

// Every page, each read to its end, and back to the terminal's front screen.
TEST_P(Level0, TheExplorerTerminalBeforeTheStory) {
    Walk walk(HUANGLANG_BINARY, 24, GetParam());
    walk.expect("》a");
    walk.choose('b');
    for (const std::string key : {"list", "manila-room-document", "level-0", "level-1", "red-rooms",
                                  "object-1", "phenomenon-c-0"}) {
        walk.expect(TERMINAL_PROMPT);
        walk.play.send(key + "\r");
        walk.read(key == "list"                   ? "red-rooms\n"
                  : key == "manila-room-document" ? MANILA_PAGE_END
                                                  : "/archive/" + key + "\n");  // its last line
        walk.anyKey();
    }
    walk.expect(TERMINAL_PROMPT);
    walk.play.send("\r");
    walk.expect("\n" + CLEAR + CLEAR + "“");  // the terminal leaves a cleared screen to the opening
    walk.read("”\n\n");
    walk.read(ANY_KEY + "\n\n");
    walk.anyKey();
    walk.read(CLEAR + "你来到了另一个层级。");
    walk.expect(LEVEL_0_OPTIONS);  // the terminal from the title gives no D here
    EXPECT_EQ(badlySet(walk.play.transcript(), GetParam()), std::vector<std::string>{});
}

}  // namespace
