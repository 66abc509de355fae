// Scenes of the story on the scripted console, above all the states a play from
// the title menu never reaches, and the order of the random draws.
#include "story/story.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "docs/archive.h"
#include "docs/fresh_archive.h"
#include "state/choice.h"
#include "state/items.h"
#include "state/player.h"
#include "story/scenes.h"
#include "support/script.h"

using Script::Millis;

namespace {

const std::string CLEAR = "\x1b[2J\x1b[0;0H";
const std::string ARRIVAL = "你来到了另一个层级。";
const std::string FRONT_SCREEN = "\x1b[1m# M.E.G. 探险者终端\x1b[0m\n";

class Story : public ::testing::Test {
  protected:
    void SetUp() override {
        freshArchive();
        Script::reset();  // without init's lines
        body = 400, san = 1000, itemAttack = 0, baseAttack = 0, score = 0;
        options.clear();
        visitLevel.clear();
        noclip = megDocument = false;
    }
    // Each answer arrives long after the text before it has run out, as a
    // player reads first; the longest page takes some 200 s at its pace.
    static void answer(const std::vector<std::string>& keys) {
        Millis at{0};
        for (const auto& key : keys) Script::typeAt(at += Millis(1'000'000), key);
    }
    static int count(const std::string& text, const std::string& part) {
        int n = 0;
        for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
        return n;
    }
};

TEST_F(Story, WithNoclipLevel0OffersCuttingOutStraightToLevel1) {
    noclip = true;
    answer({"c\r"});
    EXPECT_EQ(Level_0(), Scene::Level_1);
    EXPECT_EQ(options, "abc");
    EXPECT_EQ(body, 400);
    EXPECT_TRUE(visitLevel.at("level-0"));
    const std::string out = Script::output();
    EXPECT_EQ(out.rfind(CLEAR + ARRIVAL, 0), 0U);
    EXPECT_NE(out.find("\nA 四处走走\tB 原地休息\tC 切出\n》a\bc\n"), std::string::npos)
        << visible(out);
    // The extra option and the prompt glyph are written at once, after the paced text.
    const auto& writes = Script::writes();
    ASSERT_GE(writes.size(), 4U);
    EXPECT_EQ(writes[writes.size() - 5].bytes, "\tC 切出");
    EXPECT_EQ(writes[writes.size() - 4].bytes, "\n》");
}

TEST_F(Story, WithTheTerminalLevel0OffersItThenShowsTheRoomsAgain) {
    megDocument = true;
    answer({"x", "d\r", "\r", "b\r"});   // the opening's key, D, leave the terminal, rest
    EXPECT_THROW(game(), Script::Quit);  // input ends after the rest
    EXPECT_EQ(options, "abd");
    const std::string out = Script::output();
    EXPECT_EQ(count(out, CLEAR + ARRIVAL), 2);
    const auto terminal = out.find(FRONT_SCREEN);
    ASSERT_NE(terminal, std::string::npos);
    EXPECT_LT(out.find(ARRIVAL), terminal);
    EXPECT_LT(terminal, out.rfind(ARRIVAL));
    EXPECT_EQ(count(out, "\tB 原地休息\tD 浏览文档\n》a"), 2) << visible(out);
    EXPECT_NE(out.find("》a\bd\n"), std::string::npos);
    EXPECT_NE(out.find("体力值增加了 5"), std::string::npos);  // the second answer, B, rests
    EXPECT_EQ(body, 405);
}

TEST_F(Story, TheManilaRoomTeachesNoclipOnlyOnce) {
    noclip = true;  // already learned
    answer({"x", "x"});
    EXPECT_EQ(Level_0_1_0(), Scene::Level_1);
    EXPECT_EQ(body, 390);
    const std::string out = Script::output();
    EXPECT_EQ(count(out, "你悟得了"), 0);
    EXPECT_EQ(count(out, documentData.at("manila-room-document")), 1);
    EXPECT_TRUE(out.ends_with("按下任意键继续以查看纸上内容。" + CLEAR +
                              documentData.at("manila-room-document")));

    Script::reset();
    noclip = false;
    answer({"x", "x", "x"});
    EXPECT_EQ(Level_0_1_0(), Scene::Level_1);
    EXPECT_TRUE(noclip);
    EXPECT_TRUE(Script::output().ends_with(
        CLEAR +
        "你悟得了\x1b[1m切出\x1b[0m。\n\n你尝试根据文档的指示，切出了一面墙。按下任意键继续……"));
}

TEST_F(Story, Level1MeetsTheStrangerOnTheFirstVisitOnly) {
    answer({"b\r"});
    EXPECT_EQ(Level_1(), Scene::Level_1_1);
    EXPECT_TRUE(visitLevel.at("level-1"));
    EXPECT_TRUE(Script::output().ends_with(
        "\n\n你看到对面有个人，你要过去吗？\nA 过去寻找他\tB 不理会\n》a\bb"));

    Script::reset();
    EXPECT_EQ(Level_1(), Scene::Level_1_MEG_Alpha_Base);  // no key asked for
    EXPECT_EQ(Script::output().find("你看到对面有个人"), std::string::npos);
    EXPECT_TRUE(Script::output().ends_with("\n\n"));
}

TEST_F(Story, OnlyGreetingTheStrangerHandsOverATerminal) {
    EXPECT_EQ(Level_1_1(), Scene::Level_1_MEG_Alpha_Base);
    EXPECT_FALSE(megDocument);
    EXPECT_EQ(count(Script::output(), "\n- "), 4);
    EXPECT_EQ(Level_1_0(), Scene::Level_1_MEG_Alpha_Base);
    EXPECT_TRUE(megDocument);
}

// The box and item headers of a text, in order.
std::vector<std::string> headers(const std::string& text) {
    static const std::regex header("(补给箱中)?第 [0-9]+/[0-9]+ (个补给箱：|件)");
    std::vector<std::string> found;
    for (std::sregex_iterator it(text.begin(), text.end(), header), end; it != end; ++it)
        found.push_back(it->str());
    return found;
}

TEST_F(Story, ExplorationDrawsTheBoxesThenEachBoxsItemsInTurn) {
    std::vector<bool> seen(6, false);
    for (unsigned seed = 1; seed <= 40; ++seed) {
        SetUp();
        // Draw as the scene must: the number of boxes, then per box its item
        // count and one value per item. Every item is taken.
        std::srand(seed);
        const int times = std::rand() % 5 + 1;
        std::vector<std::string> expected;
        std::vector<std::string> answers;
        for (int i = 1; i <= times; ++i) {
            expected.push_back(fmt::format("第 {}/{} 个补给箱：", i, times));
            const int items = std::rand() % 2 + 1;
            for (int j = 1; j <= items; ++j) {
                std::rand();
                expected.push_back(fmt::format("补给箱中第 {}/{} 件", j, items));
                answers.emplace_back("\r");
            }
        }
        seen[static_cast<std::size_t>(times)] = true;
        answers.emplace_back("c\r");  // back to the base

        std::srand(seed);
        answer(answers);
        EXPECT_EQ(Level_1_Explore(), Scene::Level_1_MEG_Alpha_Base);
        const std::string out = Script::output();
        EXPECT_EQ(headers(out), expected) << "seed " << seed;
        EXPECT_EQ(body, 400 + 600 * static_cast<int>(answers.size() - 1)) << "seed " << seed;
        EXPECT_EQ(out.rfind(CLEAR + "你开始探索 Level 1。\n\n第 1/", 0), 0U);
        EXPECT_TRUE(out.ends_with("\n\n" + CLEAR +
                                  "你看见天花板上有涂鸦，你选择：\nA 忽略\tB 切出该天花板\tC 返回 "
                                  "M.E.G. 基地\n》a\bc\n\n"))
            << visible(out);
    }
    for (int n = 1; n <= 5; ++n) EXPECT_TRUE(seen[static_cast<std::size_t>(n)]) << n << " boxes";
}

TEST_F(Story, TheDoorAndTheGraffitiLeadBackToTheBaseOrOut) {
    for (const auto& [keys, next] : std::vector<std::pair<std::vector<std::string>, Scene>>{
             {{"b\r"}, Scene::Level_Fun},
             {{"\r", "\r"}, Scene::Level_1_MEG_Alpha_Base},
             {{"\r", "b\r"}, Scene::Level_1_MEG_Alpha_Base}}) {
        SetUp();
        std::srand(9);  // one box of one item
        ASSERT_EQ(std::rand() % 5 + 1, 1);
        ASSERT_EQ(std::rand() % 2 + 1, 1);
        std::srand(9);
        std::vector<std::string> all{"b\r"};  // leave the item
        all.insert(all.end(), keys.begin(), keys.end());
        answer(all);
        EXPECT_EQ(Level_1_Explore(), next);
        if (keys.size() == 2) {
            EXPECT_TRUE(Script::output().ends_with(
                CLEAR +
                "你看见了一个小门，里面是一条走廊，要进去吗？\nA 进入\tB 返回 M.E.G. 基地\n》a" +
                (keys[1] == "b\r" ? "\bb" : "") + "\n\n"));
        }
    }
    EXPECT_EQ(Level_Fun(), Scene::End);
}

TEST_F(Story, TheEndScreenIsWrittenAtOnce) {
    body = 1585;
    answer({"x"});
    End();
    EXPECT_BYTES(CLEAR + "你已完成本次游戏。分数：0；剩余体力：1585。\n", Script::output());
    EXPECT_EQ(Script::writes().size(), 2U);
    EXPECT_THROW(End(), Script::Quit);  // it waits for a key
}

}  // namespace
