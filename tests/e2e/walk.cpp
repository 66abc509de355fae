#include "e2e/walk.h"

#include <regex>
#include <stdexcept>

std::string panel(int body) {
    return "当前的：\n体力：" + std::to_string(body) + "\n攻击：0\n理智：1000\n";
}

std::string endScreen(int body) {
    return CLEAR + "你已完成本次游戏。分数：0；剩余体力：" + std::to_string(body) + "。\n";
}

namespace {

Launch sized(const std::string& program, unsigned short rows, unsigned short columns) {
    Launch launch = launchOf(program);
    launch.rows = rows;
    launch.columns = columns;
    return launch;
}

}  // namespace

Walk::Walk(const std::string& program, unsigned short rows, unsigned short columns)
    : play(sized(program, rows, columns)) {}

void Walk::read(const std::string& end) {
    if (!play.hurryTo(asOnTerminal(end))) lost("never showed " + visible(end));
    if (!play.waitAsleep()) lost("did not wait for a key after " + visible(end));
}

void Walk::expect(const std::string& bytes) {
    if (!play.expect(asOnTerminal(bytes))) lost("never showed " + visible(bytes));
}

bool Walk::shows(const std::string& bytes) const {
    return setTextEnd(play.transcript(), asOnTerminal(bytes)) != std::string::npos;
}

void Walk::toLevel0() {
    expect("》a");
    choose('a');
    read("”\n\n");
    read(ANY_KEY + "\n\n");
    anyKey();
    read(CLEAR + "你来到了另一个层级。");
    expect(LEVEL_0_OPTIONS);
}

void Walk::leftToLevel1() {
    choose('a');
    read("按下任意键继续以查看纸上内容。");
    anyKey();
    read(MANILA_PAGE_END);
    anyKey();
    read(CLEAR + NOCLIP_LESSON);
    anyKey();
    read(CLEAR + "你来到了一个新的层级。\n\n");
    read(STRANGER);
}

void Walk::greetingTheStrangerToTheBase() {
    toLevel0();
    choose('a');
    read(FORK);
    leftToLevel1();
    choose('a');
    read("你：你好！");
    atBase(385);
}

Exploration Walk::explore(char key, bool take) {
    choose(key);
    read(CLEAR + "你开始探索 Level 1。\n\n");
    Exploration seen;
    for (int box = 1; box == 1 || box <= seen.boxes; ++box) {
        const std::string header = "第 " + std::to_string(box) + "/";
        read(header);
        const std::size_t count = play.transcript().size() - play.sinceMatch().size();
        expect(" 个补给箱：\n");
        const int boxes = countAt(count);
        if (seen.boxes == 0) seen.boxes = boxes;
        if (boxes != seen.boxes) lost("the box count changed within one exploration");
        int items = 0;
        for (int item = 1; item == 1 || item <= items; ++item) {
            const std::string itemHeader = "补给箱中第 " + std::to_string(item) + "/";
            read(itemHeader);
            const std::size_t itemCount = play.transcript().size() - play.sinceMatch().size();
            expect("件物品是 杏仁水。\n加成：\n体力：600\n攻击：0\n理智：0\n");
            items = countAt(itemCount);
            if (items < 1 || items > 2) lost("a box of " + std::to_string(items) + " items");
            read("是否拾取（并使用）该物品？\nA 是\tB 否\n》a");
            choose(take ? 'a' : 'b');
            ++seen.items;
            if (take) ++seen.taken;
        }
    }
    read(GRAFFITI);
    return seen;
}

void Walk::endsWith(int body) {
    expect(endScreen(body));
    if (!play.waitAsleep()) lost("the end screen did not wait for a key");
    anyKey();
    if (!exitedWith(play.waitExit(), 0)) lost("did not end with exit code 0");
}

int Walk::countAt(std::size_t at) {
    static const std::regex count("^([0-9]+) ");
    const std::string shown = play.transcript().substr(at);
    std::smatch found;
    if (!std::regex_search(shown, found, count)) lost("no count at " + std::to_string(at));
    return std::stoi(found[1]);
}

void Walk::lost(const std::string& what) const {
    throw std::runtime_error(what + "\nlast output: " + visible(play.sinceMatch()));
}
