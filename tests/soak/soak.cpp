// Random plays of the real game at a terminal: keys a player could press, at
// random moments. Every play must end by the end screen (or title choice C) or by
// the end of its input, with exit code 0: never a crash, never a hang.
//
//   soak [plays [seed]]    1000 plays by default; play i of a run draws its keys
//                          from seed + i, so `soak 1 N` plays again the play of seed N
//
// A play's input ends when its terminal closes, as when a window is closed under
// nohup: the game meets it as failed reads.
#include <signal.h>  // NOLINT(modernize-deprecated-headers): POSIX sigaction and kill

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "e2e/pty_game.h"
#include "visible.h"

namespace {

using Clock = std::chrono::steady_clock;

// One key as a terminal sends it, weighted toward what moves the story on.
std::string randomKey(std::mt19937& draw) {
    static const std::vector<std::pair<int, std::string>> kinds = {
        {8, "a"}, {6, "b"},       {3, "c"},      {1, "d"},        {10, "\r"},  {1, "\n"},
        {8, " "}, {1, "*letter"}, {1, "*arrow"}, {1, "*control"}, {1, "\x7f"}, {1, "层"},
    };
    int total = 0;
    for (const auto& kind : kinds) total += kind.first;
    int pick = std::uniform_int_distribution<int>(0, total - 1)(draw);
    std::string key;
    for (const auto& kind : kinds) {
        if ((pick -= kind.first) < 0) {
            key = kind.second;
            break;
        }
    }
    if (key == "*letter") return {static_cast<char>('e' + draw() % 22)};
    if (key == "*arrow") return std::string("\x1b[") + "ABCD"[draw() % 4];
    if (key == "*control") {
        // Any control byte but the ones the terminal turns into signals
        // (Ctrl-C, Ctrl-\, Ctrl-Z): a player pressing those means to stop.
        for (;;) {
            const char c = static_cast<char>(1 + draw() % 31);
            if (c != '\x03' && c != '\x1c' && c != '\x1a') return {c};
        }
    }
    return key;
}

// How long a player takes before the next key: often at once, sometimes a while.
// cppcheck-suppress constParameter ; drawing a number advances the engine
std::chrono::milliseconds randomPause(std::mt19937& draw) {
    static const int pauses[] = {0, 0, 0, 1, 2, 5, 10, 15, 25, 40, 60, 100};
    return std::chrono::milliseconds(pauses[draw() % std::size(pauses)]);
}

struct Tally {
    int plays = 0;
    long keys = 0;
    int endScreen = 0;   // played to the end screen and its last key
    int titleLeft = 0;   // title choice C
    int inputEnded = 0;  // still playing when the terminal closed
    int reachedBase = 0;
    int openedBoxes = 0;
    int crashes = 0;
    int hangs = 0;
    int others = 0;  // any other way out: a wrong exit code, no title menu
};

bool shows(const PtyGame& play, const char* text) {
    return play.transcript().find(text) != std::string::npos;
}

// One play; false when it went wrong, with what happened in `why`.
bool playOnce(std::mt19937& draw, Tally& tally, std::string& keys, std::string& why) {
    Launch launch = launchOf(HUANGLANG_BINARY);
    launch.ignoredSignals = {SIGHUP};
    PtyGame play(launch);
    if (!play.expect("》a", std::chrono::seconds(10))) {
        ++tally.others;
        why = "no title menu";
        return false;
    }

    std::optional<int> status;
    const int count = std::uniform_int_distribution<int>(5, 120)(draw);
    for (int i = 0; i < count && !status; ++i) {
        const std::string key = randomKey(draw);
        keys += key;
        ++tally.keys;
        play.send(key);
        status = play.waitExit(randomPause(draw));  // reads the output meanwhile
    }
    if (!status) status = play.waitExit(std::chrono::milliseconds(50));  // its last key may end it
    if (!status) {
        // Still playing: it must be waiting, for a key or a pause, not spinning.
        const bool waiting = play.waitAsleep(std::chrono::seconds(3));
        status = play.waitExit(std::chrono::milliseconds(0));  // or it has just ended
        if (!status && !waiting) {
            ++tally.hangs;
            why = "busy, not waiting, after its keys";
            return false;
        }
    }
    const bool endedByItself = status.has_value();
    if (!status) {
        play.hangUp();
        status = play.waitExit(std::chrono::seconds(5));
    }

    if (shows(play, "M.E.G. Alpha 基地")) ++tally.reachedBase;
    if (shows(play, "个补给箱：")) ++tally.openedBoxes;
    if (!status) {
        ++tally.hangs;
        why = "did not end after its terminal closed";
        return false;
    }
    if (!WIFEXITED(*status)) {  // no signal is sent to it: this is a crash
        ++tally.crashes;
        why = "ended by a signal";
        return false;
    }
    if (!exitedWith(status, 0)) {
        ++tally.others;
        why = "exit code " + std::to_string(WEXITSTATUS(*status));
        return false;
    }
    if (!endedByItself) {
        ++tally.inputEnded;
    } else if (shows(play, "你已完成本次游戏。")) {
        ++tally.endScreen;
    } else if (!shows(play, "\x1b[2J\x1b[0;0H“")) {  // the story never began
        ++tally.titleLeft;
    } else {
        ++tally.others;
        why = "ended by itself before the end screen";
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const int plays = argc > 1 ? std::atoi(argv[1]) : 1000;
    const unsigned seed = argc > 2 ? static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10))
                                   : static_cast<unsigned>(Clock::now().time_since_epoch().count());
    std::printf("soak: %d plays, seed %u\n", plays, seed);
    Tally tally;
    int failures = 0;
    const auto start = Clock::now();
    for (int i = 0; i < plays; ++i) {
        std::mt19937 draw(seed + static_cast<unsigned>(i));
        std::string keys;
        std::string why;
        ++tally.plays;
        if (!playOnce(draw, tally, keys, why)) {
            ++failures;
            std::printf("play %d (seed %u): %s\n  keys: %s\n", i, seed + static_cast<unsigned>(i),
                        why.c_str(), visible(keys).c_str());
        }
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf(
        "soak: %d plays, %ld keys in %.0f s: %d to the end screen, %d left at the title, %d still "
        "playing when their input ended; %d reached the base, %d opened supply boxes; %d crashes, "
        "%d hangs, %d other failures\n",
        tally.plays, tally.keys, seconds, tally.endScreen, tally.titleLeft, tally.inputEnded,
        tally.reachedBase, tally.openedBoxes, tally.crashes, tally.hangs, tally.others);
    return failures == 0 ? 0 : 1;
}
