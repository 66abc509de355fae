// The player's numbers and the status panel that shows them. Scenes and items
// change the numbers directly; nothing compares them with anything.
#pragma once

#include <cstdint>

extern std::int32_t body;        // 体力, stamina: rest +5, walking on -5, each item its bonus
extern std::int32_t san;         // 理智, sanity
extern std::int32_t itemAttack;  // the attack that items gave
extern std::int32_t baseAttack;  // the attack the player starts with; stays 0
extern std::int32_t score;       // shown on the end screen; stays 0

// Writes the panel at once, below whatever is on screen: 体力, 攻击 (base plus
// items) and 理智.
void status();

// a + b, held at the limits of a 32-bit number instead of overflowing, so
// exploring without end cannot wrap the stamina round to a negative figure.
std::int32_t saturatingAdd(std::int32_t a, std::int32_t b);
