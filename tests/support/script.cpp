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
    int columns;  // the new width, or 0 for a resume
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
    unsigned resumes = 0;                 // what the console's counts say now
    unsigned resizes = 0;                 //
    int columns = 0;                      // the console's width; 0: not known
    std::vector<Write> writes;            // everything written
    int prepares = 0;                     // prepareConsole calls
    int restores = 0;                     // restoreConsole calls
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

void resumeAt(Millis at) { resizeAt(at, 0); }

void resizeAt(Millis at, int columns) {
    state.changes.push_back({std::max(at, state.clock), columns});
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
int restoreCalls() { return state.restores; }

std::string output() {
    std::string all;
    for (const auto& write : state.writes) all += write.bytes;
    return all;
}

}  // namespace Script

namespace Game::Platform {

using Script::state;

void prepareConsole() { ++state.prepares; }
void restoreConsole() { ++state.restores; }
void enableVirtualTerminal() {}
bool inputIsTerminal() { return state.terminal; }

namespace {

void apply(const Script::Change& change) {
    if (change.columns == 0) {
        ++state.resumes;
    } else {
        ++state.resizes;
        state.columns = change.columns;
    }
}

// Changes whose moment has come, as the real console's counts would show them.
void applyDueChanges() {
    while (!state.changes.empty() && state.changes.front().at <= state.clock) {
        apply(state.changes.front());
        state.changes.erase(state.changes.begin());
    }
}

}  // namespace

unsigned resumes() {
    applyDueChanges();
    return state.resumes;
}

unsigned resizes() {
    applyDueChanges();
    return state.resizes;
}

int columns() {
    applyDueChanges();
    return state.columns;
}

bool inputReady() {
    if (state.arrivals.empty()) return state.inputEnds;
    return state.arrivals.front().at <= state.clock;
}

bool waitInputUntil(Clock::time_point deadline) {
    if (inputReady()) return true;
    const auto until = std::chrono::duration_cast<Script::Millis>(deadline.time_since_epoch());
    if (!state.arrivals.empty() && state.arrivals.front().at <= until) {
        state.clock = std::max(state.clock, state.arrivals.front().at);
        return true;
    }
    state.clock = std::max(state.clock, until);
    return false;
}

// The next key or the next change, whichever comes first; a change that comes
// no later than the key interrupts the wait.
bool waitInput() {
    if (inputReady() || state.changes.empty()) return true;
    const Script::Change change = state.changes.front();
    if (!state.arrivals.empty() && state.arrivals.front().at < change.at) return true;
    state.clock = std::max(state.clock, change.at);
    applyDueChanges();
    return false;
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

bool writeOutput(const char* data, std::size_t size) {
    if (state.outputClosed) return false;
    state.writes.push_back({state.clock, std::string(data, size)});
    if (state.writes.size() - 1 == state.stalledWrite) state.clock += state.stall;
    return true;
}

Clock::time_point now() { return Script::toTimePoint(state.clock); }

void sleepUntil(Clock::time_point deadline) {
    const auto at = std::chrono::duration_cast<Script::Millis>(deadline.time_since_epoch());
    state.clock = std::max(state.clock, at);
}

void quit(int code) { throw Script::Quit{code}; }

}  // namespace Game::Platform
