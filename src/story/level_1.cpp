// Level 1: the concrete halls, the stranger, the M.E.G. Alpha base and the
// explorations that always lead back to it, until the player cuts through the ceiling.
#include <fmt/format.h>

#include <string>

#include "docs/terminal.h"
#include "state/choice.h"
#include "state/items.h"
#include "state/player.h"
#include "story/scenes.h"
#include "story/story.h"
#include "support/functions.h"

using namespace std;
using namespace Game;

Scene Level_1() {
    SHOW(CLEAR
         "你来到了一个新的层级。\n"
         "\n"
         "耳边嗡的一声，眼前一白；再看时，四周的一切都是混凝土浇成的，地上积着许多水洼，"
         "每根柱子旁都立着一盏亮得刺眼的灯。"
         "\n\n")
    if (visitLevel.contains("level-1")) return Scene::Level_1_MEG_Alpha_Base;
    visitLevel["level-1"] = true;
    SHOW("你看到对面有个人，你要过去吗？\nA 过去寻找他\tB 不理会\n》")
    selector(s, "ab");
    return s == 'a' ? Scene::Level_1_0 : Scene::Level_1_1;
}

Scene Level_1_0() {
    SHOW(CLEAR
         "你：你好！\n"
         "\n"
         "他：……你好。\n"
         "\n"
         "（在黄色的房间里走得太久，你累得站不稳，听到一句再平常不过的回答，高兴得快哭了）\n"
         "\n"
         "你：请问，这是什么地方？\n"
         "\n"
         "他：（犹豫了一下）你刚才是不是一直在一个很大很大的黄色房间里打转？……"
         "看样子你是新来的。跟我走吧，我带你去我们的基地。\n"
         "\n"
         "（路上）\n"
         "\n"
         "你：你是谁？\n"
         "\n"
         "他：我是 M.E.G. 的人。你在黄色的房间里，是不是见过桌上放着的一张纸？\n"
         "\n"
         "（你点了点头）\n"
         "\n"
         "他：那上面的字，就是我们写的。\n"
         "\n"
         "（到了基地）\n"
         "\n"
         "他：进去吧，里面的特工会跟你谈。\n"
         "\n"
         "（特工简单地向你交代了几件事）\n"
         "\n"
         "    1. 你已经身在黄廊。\n"
         "    2. 你再也回不到现实了，我们管那边叫“前厅”。\n"
         "    3. 黄廊由一个个层级组成。这里是 Level 1，那些黄色的房间是 Level 0。\n"
         "\n"
         "（你张了张嘴，什么也没说出来）\n"
         "\n"
         "（最后，特工交给你一台 M.E.G. 探险者终端，供你查阅文档）"
         "\n\n")
    megDocument = true;
    return Scene::Level_1_MEG_Alpha_Base;
}

Scene Level_1_1() {
    SHOW(CLEAR
         "你没有理会那个人，漫无目的地继续往前走。"
         "走着走着，你望见前方有人影来回走动，还听见了说话声，便拔腿跑了过去。"
         "那里是一座基地，里面的人得知你是新来的，告诉了你这些事：\n"
         "\n"
         "- 我们是 M.E.G.，这里是 M.E.G. Alpha 基地。\n"
         "- 你已经身在黄廊。\n"
         "- 你永远回不到现实了，我们管那边叫“前厅”；把黄廊当作你的新家吧。\n"
         "- 黄廊由层级组成，这里是 Level 1，黄色的房间是 Level 0。"
         "\n\n")
    return Scene::Level_1_MEG_Alpha_Base;  // and no terminal: nobody handed one over
}

Scene Level_1_MEG_Alpha_Base() {
    status();
    SHOW("你来到了 M.E.G. Alpha 基地，你现在要？\nA 阅读文档\tB 探索本层级\tC 前往其它据点\n》")
    selector(s, "abc");
    if (s == 'a') {
        documentRead();  // the base's own terminal, whether or not the player carries one
        return Scene::Level_1_MEG_Alpha_Base;
    }
    return Scene::Level_1_Explore;  // the other outposts lie the same way
}

Scene Level_1_Explore() {
    SHOW(CLEAR "你开始探索 Level 1。\n\n")
    const int times = random(1, 5);
    for (int i = 1; i <= times; ++i) {
        SHOW(fmt::format("第 {}/{} 个补给箱：\n", i, times))
        boxSearch(random(1, 2));
    }

    SHOW(CLEAR
         "你看见天花板上有涂鸦，你选择：\n"
         "A 忽略\tB 切出该天花板\tC 返回 M.E.G. 基地\n》")
    selector(s, "abc");
    PRNT("\n\n")
    if (s == 'b') return Scene::Level_Fun;
    if (s == 'c') return Scene::Level_1_MEG_Alpha_Base;

    SHOW(CLEAR
         "你看见了一个小门，里面是一条走廊，要进去吗？\n"
         "A 进入\tB 返回 M.E.G. 基地\n》")
    selector(s, "ab");
    PRNT("\n\n")
    return Scene::Level_1_MEG_Alpha_Base;  // the corridor leads back to the base as well
}

Scene Level_Fun() { return Scene::End; }
