#include "state/items.h"

#include <fmt/format.h>

#include <cstdlib>

#include "state/choice.h"
#include "state/player.h"
#include "support/functions.h"

using namespace Game;

std::array<Item, 10> itemList{};
static_assert(0 <= ITEM_ID_MIN && ITEM_ID_MIN <= ITEM_ID_MAX && ITEM_ID_MAX < 10,
              "a box draws entries of the table");

int random(int x, int y) { return std::rand() % (y - x + 1) + x; }

void useItem(int x) {
    const Item& item = itemList[static_cast<std::size_t>(x)];
    body = saturatingAdd(body, item.body);
    itemAttack = saturatingAdd(itemAttack, item.itemAttack);
    san = saturatingAdd(san, item.san);
}

void boxSearch(int itemCount) {
    for (int j = 1; j <= itemCount; ++j) {
        PRNT("\n")
        const int itemId = random(ITEM_ID_MIN, ITEM_ID_MAX);
        const Item& x = itemList[static_cast<std::size_t>(itemId)];
        SHOW(fmt::format(
            "补给箱中第 {0}/{1} 件物品是 {2}。\n加成：\n体力：{3}\n攻击：{4}\n理智：{5}\n", j,
            itemCount, x.name, x.body, x.itemAttack, x.san))
        SHOW("是否拾取（并使用）该物品？\nA 是\tB 否\n》")
        selector(s, "ab");
        PRNT("\n")
        if (s == 'a') useItem(itemId);
    }
    PRNT("\n")
}
