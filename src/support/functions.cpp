// Terminal control, output and paced text.
#include "support/functions.h"

#include <fmt/format.h>

#include "support/platform.h"

namespace Game {

// ---- Console set-up -----------------------------------------------------------

void prepareConsole() { Platform::prepareConsole(); }

void restoreConsole() { Platform::restoreConsole(); }

void enableANSI() { Platform::enableVirtualTerminal(); }

// ---- Terminal control ---------------------------------------------------------

void moveCursor(short x, short y) { print(fmt::format("\033[{};{}H", y, x)); }

void editTitle(const std::string& s) { print("\033]0;" + s + "\a"); }

void editWinLength(int x) {
    if (x == 80) print("\033[?3l");
    if (x == 132) print("\033[?3h");
}

// ---- Output -------------------------------------------------------------------

void print(std::string_view text) {
    // Nobody is left to read the story: end as quietly as on closed input.
    if (!Platform::writeOutput(text.data(), text.size())) Platform::quit(0);
}

void slowOutput(const std::string& s, unsigned sleepTime, bool canSkip) {
    const auto period = std::chrono::milliseconds(sleepTime);
    auto deadline = Platform::now();
    bool skip = false;
    for (const char& byte : s) {
        print(std::string_view(&byte, 1));
        if (canSkip && keyPressed()) {
            const int key = readKey();
            if (key == ' ' || key == ENTER) skip = true;
        }
        if (skip || sleepTime == 0) continue;
        // Pause to a schedule rather than for a span, so per-byte overhead never
        // adds up. After a stall (a terminal that stopped reading) start a fresh
        // schedule instead of bursting out the bytes we are late with.
        deadline += period;
        const auto now = Platform::now();
        if (deadline < now) deadline = now + period;
        Platform::sleepUntil(deadline);
    }
}

// ---- Choice -------------------------------------------------------------------

char selector(char& to, const std::string& items) {
    if (items.empty()) return 0;
    char answer = items.front();
    print(std::string_view(&answer, 1));
    for (int key = readKey(); key != ENTER; key = readKey()) {
        const auto found = items.find(static_cast<char>(key));
        if (found == std::string::npos) continue;
        answer = items[found];
        const char replace[] = {'\b', answer};
        print(std::string_view(replace, sizeof replace));
    }
    to = answer;
    return answer;
}

// ---- Time ---------------------------------------------------------------------

void sleepFor(unsigned milliseconds) {
    Platform::sleepUntil(Platform::now() + std::chrono::milliseconds(milliseconds));
}

}  // namespace Game
