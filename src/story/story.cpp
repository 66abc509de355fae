// The story's state, the walk along the graph, and the end screen.
#include "story/story.h"

#include <fmt/format.h>

#include "state/player.h"
#include "story/scenes.h"
#include "support/functions.h"

using namespace std;
using namespace Game;

string options;
map<string, bool> visitLevel;
bool noclip = false;
bool megDocument = false;

namespace {

// Plays one scene, any but End, and returns where it leads.
Scene play(Scene scene) {
    switch (scene) {
        case Scene::Level_0: return Level_0();
        case Scene::Level_0_1: return Level_0_1();
        case Scene::Level_0_1_0: return Level_0_1_0();
        case Scene::Level_0_1_1: return Level_0_1_1();
        case Scene::Level_0_2: return Level_0_2();
        case Scene::Level_1: return Level_1();
        case Scene::Level_1_0: return Level_1_0();
        case Scene::Level_1_1: return Level_1_1();
        case Scene::Level_1_MEG_Alpha_Base: return Level_1_MEG_Alpha_Base();
        case Scene::Level_1_Explore: return Level_1_Explore();
        case Scene::Level_Fun: return Level_Fun();
        case Scene::End: break;
    }
    return Scene::End;
}

}  // namespace

void game() {
    Scene next = opening();
    while (next != Scene::End) next = play(next);
    End();
}

void End() {
    PRNT(CLEAR)
    PRNT(fmt::format("你已完成本次游戏。分数：{}；剩余体力：{}。\n", score, body))
    WAIT
}
