// The scripted platform: the seam of the console kit, driven by a test.
#include "support/script.h"

#include <algorithm>
#include <cstdint>

#include "support/functions.h"
#include "support/platform.h"

namespace Script {
namespace {

// Keys that arrive at one moment.
struct Arrival {
    Millis at;
    std::string keys;
};

// A resume or a resize at one moment.
struct Change {
    Millis at;
    Game::Platform::WindowSize size;  // the new size, or nothing for a resume
};

struct State {
    Millis clock{0};                      // the virtual clock
    std::vector<Arrival> arrivals;        // keys not yet read, in order of arrival
    bool inputEnds = false;               // once the arrivals are read, input ends
    bool outputClosed = false;            // writes fail
    std::size_t stalledWrite = SIZE_MAX;  // the write that blocks, by number
    Millis stall{0};                      // how long it blocks
    bool terminal = true;                 // what inputIsTerminal answers
    std::vector<Change> changes;          // resumes and resizes still to come, in order
    unsigned resumes = 0;                 // what the console's count says now
    // cppcheck-suppress unusedStructMember ; windowSize() below reads it
    Game::Platform::WindowSize window;  // the console's size; 0: not known
    std::vector<Write> writes;          // everything written
    int prepares = 0;                   // prepareConsole calls
};

State state;

Game::Platform::Clock::time_point toTimePoint(Millis at) {
    return Game::Platform::Clock::time_point(at);
}

}  // namespace

void reset(bool terminal) {
    state.arrivals.clear();
    state.inputEnds = false;
    state.outputClosed = false;
    while (Game::keyPressed()) Game::readKey();
    // Takes one plain byte so a CR read last by the previous test is forgotten.
    type("\x01");
    Game::readKey();
    state = State{};
    state.terminal = terminal;
}

void type(std::string_view keys) { typeAt(state.clock, keys); }

void typeAt(Millis at, std::string_view keys) {
    state.arrivals.push_back({std::max(at, state.clock), std::string(keys)});
    std::stable_sort(state.arrivals.begin(), state.arrivals.end(),
                     [](const Arrival& a, const Arrival& b) { return a.at < b.at; });
}

void resumeAt(Millis at) { resizeAt(at, 0, 0); }

void resizeAt(Millis at, int columns, int rows) {
    state.changes.push_back({std::max(at, state.clock), {columns, rows}});
    std::stable_sort(state.changes.begin(), state.changes.end(),
                     [](const Change& a, const Change& b) { return a.at < b.at; });
}

void endInput() { state.inputEnds = true; }
void closeOutput() { state.outputClosed = true; }

void stallWrite(std::size_t index, Millis lasts) {
    state.stalledWrite = index;
    state.stall = lasts;
}
Millis now() { return state.clock; }
const std::vector<Write>& writes() { return state.writes; }
int prepareCalls() { return state.prepares; }

std::string output() {
    std::string all;
    for (const auto& write : state.writes) all += write.bytes;
    return all;
}

}  // namespace Script

namespace Game::Platform {

using Script::Millis;
using Script::state;

void prepareConsole() { ++state.prepares; }
void enableVirtualTerminal() {}
bool inputIsTerminal() { return state.terminal; }

namespace {

void apply(const Script::Change& change) {
    if (change.size.columns == 0) {
        ++state.resumes;
    } else {
        state.window = change.size;
    }
}

// Changes whose moment has come, as the real console would show them.
void applyDueChanges() {
    while (!state.changes.empty() && state.changes.front().at <= state.clock) {
        apply(state.changes.front());
        state.changes.erase(state.changes.begin());
    }
}

bool inputReady() {
    if (state.arrivals.empty()) return state.inputEnds;
    return state.arrivals.front().at <= state.clock;
}

Script::Millis millisOf(Clock::time_point at) {
    return std::chrono::duration_cast<Script::Millis>(at.time_since_epoch());
}

}  // namespace

unsigned resumes() {
    applyDueChanges();
    return state.resumes;
}

WindowSize windowSize() {
    applyDueChanges();
    return state.window;
}

// Whatever comes first: a key, a change of the console (which wins a tie with
// a key), or the deadline. With nothing to come, a wait without a deadline
// finds the input at its end.
Wake waitInput(std::optional<Clock::time_point> deadline) {
    if (inputReady()) return Wake::INPUT;
    const Millis until = deadline ? millisOf(*deadline) : Millis::max();
    const Millis key = state.arrivals.empty() ? Millis::max() : state.arrivals.front().at;
    const Millis change = state.changes.empty() ? Millis::max() : state.changes.front().at;
    if (change <= key && change <= until && change != Millis::max()) {
        state.clock = std::max(state.clock, change);
        applyDueChanges();
        return Wake::CHANGED;
    }
    if (key <= until && key != Millis::max()) {
        state.clock = std::max(state.clock, key);
        return Wake::INPUT;
    }
    if (!deadline) return Wake::INPUT;
    state.clock = std::max(state.clock, until);
    return Wake::DEADLINE;
}

// A blocking read: the clock runs on to the next arrival. A script that runs
// out of keys ends the input, as a finished recording does.
std::size_t readInput(char* buffer, std::size_t size) {
    if (state.arrivals.empty()) return 0;
    Script::Arrival& next = state.arrivals.front();
    state.clock = std::max(state.clock, next.at);
    const std::size_t count = std::min(size, next.keys.size());
    std::copy_n(next.keys.begin(), count, buffer);
    next.keys.erase(0, count);
    if (next.keys.empty()) state.arrivals.erase(state.arrivals.begin());
    return count;
}

Written writeOutput(const char* data, std::size_t size) {
    if (state.outputClosed) return Written::CLOSED;
    state.writes.push_back({state.clock, std::string(data, size)});
    if (state.writes.size() - 1 == state.stalledWrite) state.clock += state.stall;
    return Written::ALL;
}

void noteMidLine(bool /*inLine*/) {}

Clock::time_point now() { return Script::toTimePoint(state.clock); }

void sleepUntil(Clock::time_point deadline) {
    const auto at = std::chrono::duration_cast<Script::Millis>(deadline.time_since_epoch());
    state.clock = std::max(state.clock, at);
}

void quit(int code) { throw Script::Quit{code}; }

}  // namespace Game::Platform
