// The item table, the random draws and the supply boxes of Level 1.
#pragma once

#include <array>
#include <cstdint>
#include <string>

struct Item {
    std::string name;         // as a box shows it
    std::int32_t body;        // added to the player's stamina when used
    std::int32_t itemAttack;  // added to the player's attack
    std::int32_t san;         // added to the player's sanity
};

// Ten entries; init fills entry 1 (杏仁水), the others stay empty.
extern std::array<Item, 10> itemList;

// The entries a supply box draws from.
constexpr int ITEM_ID_MIN = 1;
constexpr int ITEM_ID_MAX = 1;

// A number from x to y inclusive, from the C library generator that init seeds.
// Always one value of the generator, even when the range holds one number.
int random(int x, int y);

// Adds entry x's bonuses to the player's numbers. Prints nothing.
void useItem(int x);

// Offers itemCount items of one box one by one, each with a yes/no choice;
// taking one uses it at once.
void boxSearch(int itemCount);
