// Plays the game to the three moments the README shows and saves, for each,
// every byte the game had written by then, as a terminal received them:
//   screens BINARY DIR    writes DIR/title.ans, DIR/page.ans and DIR/base.ans
// scripts/screenshots replays each in a terminal of the same size and takes its
// picture.
#include <csignal>
#include <cstdio>
#include <exception>
#include <fstream>
#include <string>

#include "e2e/walk.h"

namespace {

void save(const Walk& walk, const std::string& path) {
    std::ofstream(path, std::ios::binary) << walk.play.transcript();
    std::printf("screens: %s (%zu bytes)\n", path.c_str(), walk.play.transcript().size());
}

// The title menu, waiting for a choice.
void title(const std::string& binary, const std::string& dir) {
    Walk walk(binary);
    walk.expect("》a");
    walk.play.waitAsleep();
    save(walk, dir + "/title.ans");
    walk.choose('c');
}

// The explorer terminal's Level 0 page, read to its end.
void page(const std::string& binary, const std::string& dir) {
    Walk walk(binary, 32);
    walk.expect("》a");
    walk.choose('b');
    walk.expect(TERMINAL_PROMPT);
    walk.play.send("level-0\r");
    walk.read("/archive/level-0\n");  // the attribution, the last line
    save(walk, dir + "/page.ans");
    walk.play.signal(SIGTERM);
}

// The Alpha base after greeting the stranger: the status panel and the menu.
void base(const std::string& binary, const std::string& dir) {
    Walk walk(binary);
    walk.greetingTheStrangerToTheBase();
    save(walk, dir + "/base.ans");
    walk.play.signal(SIGTERM);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: screens BINARY DIR\n");
        return 2;
    }
    try {
        title(argv[1], argv[2]);
        page(argv[1], argv[2]);
        base(argv[1], argv[2]);
    } catch (const std::exception& lost) {
        std::fprintf(stderr, "screens: %s\n", lost.what());
        return 1;
    }
    return 0;
}
