// The fall out of the street, and Level 0: the yellow rooms, the fork, the
// manila room on the left and the red room on the right.
#include <string>

#include "docs/archive.h"
#include "docs/terminal.h"
#include "state/choice.h"
#include "state/player.h"
#include "story/scenes.h"
#include "story/story.h"
#include "support/functions.h"

using namespace std;
using namespace Game;

Scene opening() {
    SHOW(CLEAR
         "“走路的时候留点神。要是你在不对的地方一脚踩空，从现实的缝隙里切了出去，"
         "你就会跌进黄廊——脚下是泡得发烂的湿地毯，四面是逼人发疯的一色昏黄，"
         "头顶的日光灯开足了功率，嗡嗡声一刻也不停；那片地方被胡乱隔成无数空房间，"
         "铺开约有六亿平方英里。\n"
         "\n"
         "“在那里，如果你听见附近有什么东西在走动，千万别出声——尽管多半已经晚了："
         "它一定早就听见了你。”"
         "\n\n")
    SHOW(
        "芝加哥下着瓢泼大雨。"
        "你裹紧雨衣，低着头沿街快步走，风把雨衣的下摆吹得啪啪作响。\n"
        "\n"
        "过路口时，你一脚踩在积水底下的井盖上，鞋底一滑，整个人向前扑倒。你闭上眼睛，咬紧牙关，"
        "等着手掌和膝盖撞上路面的那一下疼。\n"
        "\n"
        "疼痛始终没有来。掌心传来的是一片软塌塌的潮湿，像一块吸饱了水的旧地毯。"
        "你撑着地面爬起来，睁开眼睛看去。\n"
        "\n"
        "按下任意键继续……\n\n")
    WAIT
    return Scene::Level_0;
}

Scene Level_0() {
    visitLevel["level-0"] = true;
    SHOW(CLEAR
         "你来到了另一个层级。\n"
         "\n"
         "你环顾四周：脚下的地毯湿漉漉的，踩上去微微下陷；身旁的墙上贴着黄色墙纸，"
         "旧得发暗；头顶的日光灯嗡嗡作响，听不出有停下来的意思。你要做什么？\n"
         "A 四处走走\tB 原地休息")
    if (noclip) Game::print("\tC 切出");
    if (megDocument) Game::print("\tD 浏览文档");
    PRNT("\n》")
    options = "ab";
    if (noclip) options += 'c';
    if (megDocument) options += 'd';
    selector(s, options);
    PRNT("\n")
    switch (s) {
        case 'a': return Scene::Level_0_1;
        case 'b': return Scene::Level_0_2;
        case 'c': return Scene::Level_1;
        default: documentRead(); return Scene::Level_0;  // 'd', and the rooms again
    }
}

Scene Level_0_1() {
    body -= 5;
    SHOW(CLEAR "你四处走，不断走，走到了一个分岔路口，你选择左还是右？\nA 左\tB 右\n》")
    selector(s, "ab");
    return s == 'a' ? Scene::Level_0_1_0 : Scene::Level_0_1_1;
}

Scene Level_0_1_0() {
    body -= 10;
    SHOW(CLEAR
         "你往左边走去。这段路格外漫长，走到后来两条腿像灌了铅，体力值减少了 10。"
         "终于，你走进了一个和别处都不一样的房间：四壁贴的不是黄色墙纸，而是米黄色的马尼拉纸；"
         "别的房间至少有两个出入口，这里却只有一个门洞；屋里摆着几件家具，桌上放着一张纸。"
         "按下任意键继续以查看纸上内容。")
    WAIT
    PRNT(CLEAR)
    document("manila-room-document");
    WAIT
    if (!noclip) {
        noclip = true;
        SHOW(CLEAR
             "你悟得了\033[1m切出\033[0m。\n"
             "\n"
             "你尝试根据文档的指示，切出了一面墙。按下任意键继续……")
        WAIT
    }
    return Scene::Level_1;
}

Scene Level_0_1_1() {
    SHOW(CLEAR
         "你想起走迷宫的右手法则，在路口转向了右边。走着走着，头顶的嗡鸣低了下去，"
         "空气里多了一股铁锈似的甜味。前面那个房间的墙纸看上去不是黄的，而是一片暗红，"
         "灯光昏暗，还泛着红。你以为只是灯光的缘故，走了进去，脚下的地毯有些发黏；"
         "回过头时，身后的墙纸也已经变得暗红，来时的门洞不见了。\n"
         "\n"
         "结局 #1：红室\n"
         "\n"
         "红室没有出口。你在里面转了一圈又一圈，找不到一点补给，也无事可做。"
         "你的神志一天比一天涣散；没有食物，你最终倒在了这片红色里，再也没有起来。\n"
         "\n"
         "按下任意键继续……")
    WAIT
    return Scene::End;
}

Scene Level_0_2() {
    body += 5;
    SHOW(CLEAR
         "你在原地坐下，什么也不做，歇了好一阵子，体力值增加了 5。\n"
         "\n"
         "可一直坐着终究不是办法，你决定起身四处走走。按下任意键继续……\n\n")
    WAIT
    return Scene::Level_0_1;
}
