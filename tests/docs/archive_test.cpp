// The page archive as init builds it: keys, index, attribution lines, the
// manila room's copy, and each page's fixed lines in their order.
#include "docs/archive.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "docs/fresh_archive.h"
#include "docs/markup.h"
#include "state/items.h"
#include "support/script.h"
#include "support/text.h"

namespace {

const std::vector<std::string> KEYS = {
    "level-0",  "level-1",        "list",     "manila-room-document",
    "object-1", "phenomenon-c-0", "red-rooms"};
const std::string ATTRIBUTION =
    "\n\n》除非特别注明，本页内容采用以下授权方式：Creative Commons Attribution-ShareAlike 3.0 "
    "License；原文链接：https://huanglang.example.org/archive/";
const std::string SD1_TEXT =
    "\x1b[39m\x1b[1m\x1b[4m生存难度：等级 1\n\x1b[0m- 安全\n- 稳定\n- 极少量实体\n\n";
const std::string LINK_OPEN = "\x1b[1m\x1b[4m\x1b[31m";

class Archive : public ::testing::Test {
  protected:
    void SetUp() override { freshArchive(); }
    static const std::string& page(const std::string& key) { return documentData.at(key); }
};

// The first of fragments that text does not hold after the ones before it.
std::string missingInOrder(const std::string& text, const std::vector<std::string>& fragments) {
    std::size_t from = 0;
    for (const auto& fragment : fragments) {
        const auto at = text.find(fragment, from);
        if (at == std::string::npos) return visible(fragment);
        from = at + fragment.size();
        if (fragment.back() == '\n') --from;  // the next line may begin with this line end
    }
    return "";
}

std::size_t count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// Section and subsection lines, each with the empty line after it.
std::string section(const std::string& heading) {
    return "\n\x1b[1m\x1b[4m## " + heading + "\x1b[0m\n\n";
}
std::string subsection(const std::string& heading) {
    return "\n\x1b[1m### " + heading + "\x1b[0m\n\n";
}
// A colour of almond water: its paragraph follows on the next line.
std::string colour(const std::string& name) { return "\n\x1b[1m### " + name + "\x1b[0m\n"; }

const std::vector<std::string> NOCLIPPING_LINES = {
    "\x1b[1m# 切入与切出\x1b[0m\n\n现象编号：C-0\n现象发生地：前厅与黄廊全境\n\n",
    "\n\x1b[1m\x1b[4m## 描述\n\n\x1b[0m",
    section("发现"),
    section("作用"),
    section("现象处理方案"),
    subsection("无意切入"),
    "\n- ",
    subsection("有意切入"),
    "\n- "};

TEST_F(Archive, InitRegistersSevenKeysAndPrintsOneLinePerKey) {
    std::vector<std::string> keys;
    keys.reserve(documentData.size());
    for (const auto& entry : documentData) keys.push_back(entry.first);
    EXPECT_EQ(keys, KEYS);
    std::string lines;
    for (const auto& key : KEYS) lines += "INIT " + key + "\n";
    EXPECT_BYTES(lines, Script::output());
    EXPECT_EQ(itemList[1].name, "杏仁水");
    EXPECT_EQ(itemList[1].body, 600);
    EXPECT_EQ(itemList[1].itemAttack + itemList[1].san + itemList[0].body + itemList[2].body, 0);
}

TEST_F(Archive, TheIndexListsEveryKeyInOrder) {
    std::string index = "\x1b[1m# 当前可用的文章：\x1b[0m\n\n";
    for (const auto& key : KEYS) index += key + "\n";
    EXPECT_BYTES(index, page("list"));
}

TEST_F(Archive, FivePagesEndWithTheirAttributionAndTheManilaCopyWithout) {
    for (const std::string key :
         {"level-0", "level-1", "object-1", "phenomenon-c-0", "red-rooms"}) {
        const std::string line = ATTRIBUTION + key + "\n";
        const std::string& text = page(key);
        ASSERT_GT(text.size(), line.size()) << key;
        EXPECT_BYTES(line, text.substr(text.size() - line.size())) << key;
        EXPECT_EQ(count(text, "》除非特别注明"), 1U) << key;
    }
    EXPECT_EQ(page("manila-room-document").find("》除非特别注明"), std::string::npos);
}

TEST_F(Archive, TheManilaPaperIsTheNoclippingPageThenTheGuideToLevels) {
    const std::string& noclipping = page("phenomenon-c-0");
    const std::string registered = noclipping.substr(0, noclipping.find(ATTRIBUTION) + 2);
    const std::string& manila = page("manila-room-document");
    ASSERT_GT(manila.size(), registered.size());
    EXPECT_BYTES(registered, manila.substr(0, registered.size()));
    const std::string seam =
        "\n\n\n\n\x1b[1m# 值得注意的黄廊层级\x1b[0m\n\x1b[1m\x1b[4m## Level 0\n\x1b[0m";
    EXPECT_BYTES(seam, manila.substr(registered.size() - 2, seam.size()));
    std::vector<std::string> levels;
    for (const std::string name :
         {"Level 0", "Level 1", "Level 2", "Level 3", "Level 4", "享乐层", "终点"})
        levels.push_back("\n\x1b[1m\x1b[4m## " + name + "\n\x1b[0m");
    EXPECT_EQ(missingInOrder(manila.substr(registered.size()), levels), "");
    EXPECT_EQ(count(manila, "\n\x1b[1m\x1b[4m## "), 4U + 7U);
    EXPECT_TRUE(manila.ends_with("。\n\n"));
}

TEST(Markup, SurvivalBlocksAreTheirExactBytes) {
    EXPECT_BYTES(SD1_TEXT, SD1);
    EXPECT_BYTES(
        "\x1b[39m\x1b[1m\x1b[4m生存难度：等级 0\n\x1b[0m- 不安全\n- 不稳定\n- 实体绝迹\n\n", SD0);
    EXPECT_BYTES(
        "\x1b[39m\x1b[1m\x1b[4m生存难度：等级 5\n\x1b[0m- 不安全\n- 不稳定\n- 实体横行\n\n", SD5);
    EXPECT_BYTES(std::string(SD_ENT_2), SD_ENT_3);
}

TEST_F(Archive, EachPageHoldsItsFixedLinesInOrder) {
    EXPECT_EQ(missingInOrder(page("phenomenon-c-0"), NOCLIPPING_LINES), "");
    EXPECT_EQ(missingInOrder(page("manila-room-document"), NOCLIPPING_LINES), "");
    const std::string redRoomsHead =
        "\x1b[1m# 红室\x1b[0m\n\n\x1b[39m\x1b[1m\x1b[4m生存难度：等级 3\x1b[0m\n"
        "- 不安全且不稳定\n- 环境危害\n- 实体绝迹\n\n";
    EXPECT_EQ(missingInOrder(page("red-rooms"),
                             {redRoomsHead, section("描述"), section("基地、前哨和社区"),
                              section("入口和出口"), subsection("入口"), subsection("出口")}),
              "");
    EXPECT_EQ(missingInOrder(page("level-0"),
                             {"\x1b[1m# Level 0\x1b[0m\n  教学关卡\n\n" + SD1_TEXT, section("描述"),
                              "\n    [^1]: ", section("实体"), section("入口与出口"),
                              subsection("入口"), subsection("出口")}),
              "");
    EXPECT_EQ(missingInOrder(
                  page("level-1"),
                  {"\x1b[1m# Level 1\x1b[0m\n  宜居地带\n\n" + SD1_TEXT, section("描述"),
                   "\n    [^1]: ", "\n    [^2]: ", section("基地、前哨和社区"),
                   subsection("M.E.G.（探险者总署）Alpha基地"), subsection("B.N.T.G. 商人之家"),
                   "\n\x1b[1m### ", section("入口与出口"), subsection("入口"), subsection("出口"),
                   section("回收的档案"), "\n\x1b[1m"}),
              "");
    EXPECT_EQ(
        missingInOrder(
            page("object-1"),
            {"\x1b[1m# Object 1\x1b[0m\n    杏仁水\n\n等级：安全；", section("描述（一）"),
             section("营养成分表（以瓶计量）"), section("描述（二）"), section("特性"),
             colour("灰色"), colour("绿色"), colour("红色"), colour("蓝色"), section("发现记录"),
             "\n。。。\n", section("行为准则"), subsection("应当"), subsection("不应")}),
        "");
}

TEST_F(Archive, PagesFollowTheLayoutRules) {
    for (const auto& [key, text] : documentData) {
        if (key == "list") continue;
        const auto attribution = text.find("\n》除非特别注明");
        const auto body = attribution == std::string::npos ? text : text.substr(0, attribution + 1);
        EXPECT_EQ(body.substr(body.size() - 2), "\n\n") << key << " ends with an empty line";
        // One empty line between blocks; only the manila paper's seam has more.
        EXPECT_EQ(count(body, "\n\n\n"), key == "manila-room-document" ? 2U : 0U) << key;
        // Every reference span is closed on its own line.
        for (auto at = body.find(LINK_OPEN); at != std::string::npos;
             at = body.find(LINK_OPEN, at + 1)) {
            const auto close = body.find("\x1b[0m", at);
            ASSERT_NE(close, std::string::npos) << key;
            EXPECT_EQ(body.find('\n', at), body.find('\n', close)) << key << " at " << at;
        }
    }
    EXPECT_EQ(count(page("phenomenon-c-0"), LINK_OPEN), 3U);
    EXPECT_EQ(count(page("level-0"), LINK_OPEN), 2U);
    EXPECT_NE(page("level-0").find(LINK_OPEN + "红色墙纸和昏暗灯光（red-rooms）\x1b[0m"),
              std::string::npos);
    EXPECT_EQ(count(page("object-1"), LINK_OPEN), 8U);
    EXPECT_EQ(count(page("level-0"), "[^1]"), 2U);  // the mark and its definition
    EXPECT_EQ(count(page("level-1"), "[^2]"), 2U);
    EXPECT_EQ(count(page("level-0"), "\n- ") - count(SD1_TEXT, "\n- "), 7U);  // hallucinations
}

TEST_F(Archive, EachPageIsAboutTheSizeOfItsArticle) {
    const std::vector<std::pair<std::string, double>> sizes = {
        {"phenomenon-c-0", 4300}, {"red-rooms", 1700}, {"level-0", 4100},
        {"level-1", 3800},        {"object-1", 10600}, {"manila-room-document", 7000}};
    for (const auto& [key, size] : sizes) {
        const auto bytes = static_cast<double>(page(key).size());
        EXPECT_GT(bytes, size * 0.85) << key;
        EXPECT_LT(bytes, size * 1.15) << key;
    }
}

TEST_F(Archive, DocumentShowsAPagePacedAndNothingForAnyOtherKey) {
    Script::reset();
    for (const std::string key : {"Level-0", " level-0", "level-0 ", "level", "entity", ""})
        document(key);
    EXPECT_TRUE(Script::writes().empty());

    document("list");
    EXPECT_BYTES(page("list"), Script::output());
    std::size_t units = 0;  // a write a character or escape sequence, at its last byte
    for (std::size_t at = 0; at < page("list").size();
         at += Game::Text::unitLength(page("list"), at))
        ++units;
    EXPECT_EQ(Script::writes().size(), units);
    EXPECT_EQ(Script::now().count(), 20 * static_cast<long>(page("list").size()));
}

}  // namespace
