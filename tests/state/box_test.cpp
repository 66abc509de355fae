// The status panel, item use and supply boxes against the scripted console.
#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>

#include "state/choice.h"
#include "state/items.h"
#include "state/player.h"
#include "support/script.h"

using Script::Millis;

namespace {

constexpr std::int32_t MAX = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t MIN = std::numeric_limits<std::int32_t>::min();

class Boxes : public ::testing::Test {
  protected:
    void SetUp() override {
        Script::reset();
        body = 400, san = 1000, itemAttack = 0, baseAttack = 0, score = 0;
        itemList = {};
        itemList[1] = {"杏仁水", 600, 0, 0};
    }
    // Answers arrive long after each paced text has run out, as a player reads first.
    static void answer(std::initializer_list<std::string_view> keys) {
        Millis at{0};
        for (const auto key : keys) Script::typeAt(at += Millis(100'000), key);
    }
};

const char OFFER[] = "是否拾取（并使用）该物品？\nA 是\tB 否\n》";

TEST_F(Boxes, StatusPanelShowsTheNumbersAtOnce) {
    body = 385, baseAttack = 2, itemAttack = 5, san = -3;
    status();
    ASSERT_EQ(Script::writes().size(), 1U);
    EXPECT_BYTES("当前的：\n体力：385\n攻击：7\n理智：-3\n", Script::output());
}

TEST_F(Boxes, TakingBothItemsOfABoxAddsTheirStaminaAndNothingElse) {
    answer({"\r", "a\r"});
    boxSearch(2);
    EXPECT_EQ(body, 1600);
    EXPECT_EQ(itemAttack, 0);
    EXPECT_EQ(san, 1000);
    const std::string item = "\n加成：\n体力：600\n攻击：0\n理智：0\n";
    EXPECT_BYTES(std::string("\n") + "补给箱中第 1/2 件物品是 杏仁水。" + item + OFFER + "a\n" +  //
                     "\n" + "补给箱中第 2/2 件物品是 杏仁水。" + item + OFFER + "a\ba\n" + "\n",
                 Script::output());
}

TEST_F(Boxes, DecliningChangesNothingAndDrawsOneValue) {
    answer({"b\r"});
    std::srand(7);
    boxSearch(1);
    const int after = std::rand();
    std::srand(7);
    std::rand();
    EXPECT_EQ(after, std::rand()) << "a box item draws exactly one value";
    EXPECT_EQ(body, 400);
    EXPECT_EQ(itemAttack, 0);
    EXPECT_EQ(san, 1000);
    EXPECT_NE(Script::output().find("》a\bb\n\n"), std::string::npos);
}

TEST_F(Boxes, AnEmptyBoxWritesOneLineEnd) {
    boxSearch(0);
    EXPECT_BYTES("\n", Script::output());
}

TEST_F(Boxes, ItemTextsArePacedAndTheLineEndsAreNot) {
    answer({"\r"});
    boxSearch(1);
    const auto& writes = Script::writes();
    EXPECT_EQ(writes.front().bytes, "\n");
    EXPECT_EQ(writes.back().bytes, "\n");
    // Each character of the two texts is a write of its own, at its last
    // byte's step: a Chinese one 60 ms after the one before it.
    EXPECT_EQ(writes[1].bytes.size(), 3U);
    EXPECT_EQ((writes[2].at - writes[1].at).count(), 60);
}

TEST_F(Boxes, BonusesHoldAtTheLimitsInsteadOfOverflowing) {
    body = MAX - 100;
    useItem(1);
    EXPECT_EQ(body, MAX);
    useItem(1);
    EXPECT_EQ(body, MAX);

    itemList[2] = {"", MIN, MIN, MIN};
    body = -5, itemAttack = 0, san = MIN + 1;
    useItem(2);
    EXPECT_EQ(body, MIN);
    EXPECT_EQ(itemAttack, MIN);
    EXPECT_EQ(san, MIN);

    baseAttack = MIN, itemAttack = -1;
    status();  // the attack shown is held too
    EXPECT_NE(Script::output().find("攻击：" + std::to_string(MIN) + "\n"), std::string::npos);
}

}  // namespace
