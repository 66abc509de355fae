// A small program over the console kit and the real console, so the end-to-end
// tests can drive pacing and line editing on a real terminal:
//   kit_probe pace TEXT   TEXT paced, then "[done]", then the next key in hex
//   kit_probe lines [PROMPT]  each line read after PROMPT ("> "), in hex, until an empty line
#include <fmt/format.h>

#include <string_view>

#include "support/functions.h"

using namespace Game;

namespace {

std::string hex(std::string_view bytes) {
    std::string shown;
    for (const char c : bytes) shown += fmt::format("{:02x}", static_cast<unsigned char>(c));
    return shown;
}

}  // namespace

int main(int argc, char** argv) {
    prepareConsole();
    const std::string_view command = argc > 1 ? argv[1] : "";
    if (command == "pace" && argc > 2) {
        SHOW(argv[2])
        PRNT("[done]")
        PRNT(fmt::format("[key {:02x}]", readKey()))
    } else if (command == "lines") {
        const std::string_view prompt = argc > 2 ? argv[2] : "> ";
        for (;;) {
            const std::string line = readLine(prompt);
            PRNT(fmt::format("[line {}]\n", hex(line)))
            if (line.empty()) break;
        }
    }
    return 0;
}
