#include "state/player.h"

#include <fmt/format.h>

#include <limits>

#include "support/functions.h"

std::int32_t body = 400;
std::int32_t san = 1000;
std::int32_t itemAttack = 0;
std::int32_t baseAttack = 0;
std::int32_t score = 0;

void status() {
    Game::print(fmt::format("当前的：\n体力：{}\n攻击：{}\n理智：{}\n", body,
                            saturatingAdd(baseAttack, itemAttack), san));
}

std::int32_t saturatingAdd(std::int32_t a, std::int32_t b) {
    using Limits = std::numeric_limits<std::int32_t>;
    const std::int64_t sum = std::int64_t{a} + b;
    if (sum > Limits::max()) return Limits::max();
    if (sum < Limits::min()) return Limits::min();
    return static_cast<std::int32_t>(sum);
}
