// Plays the game to the moments the README shows and saves, for each, every
// byte the game had written by then, as a terminal received them; and records
// the story's opening as it types itself out, with its timings:
//   screens BINARY DIR    writes DIR/title.ans, DIR/page.ans, DIR/narrow.ans
//                         (the same page set at a phone's 49 columns),
//                         DIR/base.ans and DIR/opening.cast (an asciicast, version 2)
// scripts/screenshots replays each .ans in a terminal of the same size and
// takes its picture, and draws the opening as an animated SVG.
#include <csignal>
#include <cstdio>
#include <exception>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>

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

// The explorer terminal's Level 0 page, read to its end, at this width.
void page(const std::string& binary, const std::string& path, unsigned short columns) {
    Walk walk(binary, 32, columns);
    walk.expect("》a");
    walk.choose('b');
    walk.expect(TERMINAL_PROMPT);
    walk.play.send("level-0\r");
    walk.read("/archive/level-0\n");  // the attribution, the last line
    save(walk, path);
    walk.play.signal(SIGTERM);
}

// The Alpha base after greeting the stranger: the status panel and the menu.
void base(const std::string& binary, const std::string& dir) {
    Walk walk(binary);
    walk.greetingTheStrangerToTheBase();
    save(walk, dir + "/base.ans");
    walk.play.signal(SIGTERM);
}

// A JSON string of UTF-8 text, control characters escaped.
std::string jsonString(std::string_view text) {
    std::string json = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            json += escaped;
        } else {
            json += c;
        }
    }
    return json + "\"";
}

// How much of text ends on a whole UTF-8 character: a read can split one.
std::size_t wholeCharacters(std::string_view text) {
    std::size_t end = text.size();
    for (std::size_t back = 1; back <= 3 && back <= text.size(); ++back) {
        const auto byte = static_cast<unsigned char>(text[text.size() - back]);
        if ((byte & 0xC0) == 0x80) continue;  // a continuation byte: look further back
        const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        if (length > back) end = text.size() - back;
        break;
    }
    return end;
}

// The opening after title choice A (Enter on the default, so nothing is echoed
// first), unhurried, to the key it waits for: each read of the game's output an
// event at the moment it came.
void opening(const std::string& binary, const std::string& dir) {
    Walk walk(binary);
    walk.expect("》a");
    walk.play.waitAsleep();
    const std::size_t from = walk.play.transcript().size();
    const auto start = std::chrono::steady_clock::now();
    walk.play.send("\r");
    if (!walk.play.expect(asOnTerminal(ANY_KEY + "\n\n"), 120s))
        throw std::runtime_error("the opening did not come to its end");

    const std::string path = dir + "/opening.cast";
    std::ofstream cast(path, std::ios::binary);
    cast << R"({"version": 2, "width": 80, "height": 24, "title": "黄廊探索"})"
         << "\n";
    std::size_t done = from;
    for (const auto& arrival : walk.play.arrivals()) {
        if (arrival.end <= done) continue;
        const std::string_view fresh =
            std::string_view(walk.play.transcript()).substr(done, arrival.end - done);
        const std::size_t whole = wholeCharacters(fresh);
        if (whole == 0) continue;
        const double seconds = std::chrono::duration<double>(arrival.at - start).count();
        char time[32];
        std::snprintf(time, sizeof time, "%.6f", seconds);
        cast << "[" << time << ", \"o\", " << jsonString(fresh.substr(0, whole)) << "]\n";
        done += whole;
    }
    std::printf("screens: %s (%zu bytes of the game's output)\n", path.c_str(), done - from);
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
        page(argv[1], std::string(argv[2]) + "/page.ans", 80);
        page(argv[1], std::string(argv[2]) + "/narrow.ans", 49);
        base(argv[1], argv[2]);
        opening(argv[1], argv[2]);
    } catch (const std::exception& lost) {
        std::fprintf(stderr, "screens: %s\n", lost.what());
        return 1;
    }
    return 0;
}
