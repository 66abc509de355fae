// Pacing figures for the real POSIX console on a pseudo-terminal.
//
// The benchmark runs itself as the writer in a child process on a fresh
// pseudo-terminal and watches the bytes arrive on the other side:
//   - the period between bytes over 500 bytes, mean and worst;
//   - the total for 500 bytes and for a 4 KiB text against N x 20 ms;
//   - the time from a space press to the last byte of a hurried 10 KiB text;
//   - the CPU time the writer uses while pacing and while waiting for a key;
//   - in the game itself, the time from a space press to the last byte of the
//     explorer terminal's longest page, "object-1".
// It prints figures; nothing here passes or fails. A full run takes about 100 s;
// `pacing_bench hurry` (or pacing, waiting, page) runs one part.
#include <fcntl.h>
#include <poll.h>
#if __has_include(<pty.h>)
#include <pty.h>
#else
#include <util.h>  // forkpty on macOS and the BSDs
#endif
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "support/functions.h"

namespace {

using Clock = std::chrono::steady_clock;
using Micros = std::chrono::microseconds;

constexpr int REPORT_FD = 3;  // where the writer tells its own timings

double millis(Clock::duration span) {
    return std::chrono::duration<double, std::milli>(span).count();
}

Micros cpuUsed() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return Micros(usage.ru_utime.tv_sec * 1000000L + usage.ru_utime.tv_usec +
                  usage.ru_stime.tv_sec * 1000000L + usage.ru_stime.tv_usec);
}

// ---- The writer (child) -------------------------------------------------------

// Text of n bytes, mostly three-byte characters, as the story's pages are.
std::string storyText(std::size_t n) {
    const std::string_view pattern = "黄廊的灯光嗡嗡作响。";
    std::string text;
    while (text.size() < n) text += pattern;
    text.resize(n - n % 3);
    while (text.size() < n) text += '.';
    return text;
}

int runWriter(std::string_view task, std::size_t bytes) {
    Game::prepareConsole();
    const std::string text = storyText(bytes);
    const Micros cpuBefore = cpuUsed();
    const auto start = Clock::now();
    if (task == "wait") {
        Game::readKey();
    } else {
        Game::slowOutput(text, 20, true);
    }
    const auto wall = std::chrono::duration_cast<Micros>(Clock::now() - start);
    const Micros cpu = cpuUsed() - cpuBefore;
    dprintf(REPORT_FD, "%lld %lld\n", static_cast<long long>(wall.count()),
            static_cast<long long>(cpu.count()));
    return 0;
}

// ---- The watcher (parent) -----------------------------------------------------

struct Writer {
    pid_t pid;
    int terminal;  // our side of its pseudo-terminal
    int reports;   // its timings
};

Writer startWriter(const char* self, const char* task, std::size_t bytes) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) std::exit(1);
    const std::string count = std::to_string(bytes);
    int terminal = -1;
    const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (pid == 0) {
        dup2(pipeEnds[1], REPORT_FD);
        execl(self, self, "--writer", task, count.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeEnds[1]);
    return {pid, terminal, pipeEnds[0]};
}

// Reads until count bytes have come, noting when each chunk arrived.
std::vector<Clock::time_point> watchBytes(const Writer& writer, std::size_t count) {
    std::vector<Clock::time_point> arrivals;
    char chunk[4096];
    while (arrivals.size() < count) {
        const ssize_t got = read(writer.terminal, chunk, sizeof chunk);
        if (got <= 0) break;
        arrivals.insert(arrivals.end(), static_cast<std::size_t>(got), Clock::now());
    }
    return arrivals;
}

// The writer's own wall and CPU time, in microseconds.
std::pair<double, double> finish(const Writer& writer) {
    long long wall = 0;
    long long cpu = 0;
    FILE* reports = fdopen(writer.reports, "r");
    if (reports == nullptr || std::fscanf(reports, "%lld %lld", &wall, &cpu) != 2) {
        std::fprintf(stderr, "the writer reported nothing\n");
        std::exit(1);
    }
    std::fclose(reports);
    waitpid(writer.pid, nullptr, 0);
    close(writer.terminal);
    return {static_cast<double>(wall), static_cast<double>(cpu)};
}

void reportPacing(const char* self, std::size_t bytes, bool periods) {
    const Writer writer = startWriter(self, "pace", bytes);
    const auto arrivals = watchBytes(writer, bytes);
    const auto [wall, cpu] = finish(writer);
    const double ideal = static_cast<double>(bytes) * 20.0;
    if (periods && arrivals.size() > 1) {
        std::vector<double> gaps;
        for (std::size_t i = 1; i < arrivals.size(); ++i)
            gaps.push_back(millis(arrivals[i] - arrivals[i - 1]));
        double sum = 0;
        for (const double gap : gaps) sum += gap;
        std::printf(
            "  %zu bytes: period between bytes mean %.3f ms, worst %.3f ms, least %.3f ms\n", bytes,
            sum / static_cast<double>(gaps.size()), *std::max_element(gaps.begin(), gaps.end()),
            *std::min_element(gaps.begin(), gaps.end()));
    }
    std::printf("  %zu bytes: total %.3f ms against the ideal %.0f ms (%+.4f %%)\n", bytes,
                wall / 1000.0, ideal, (wall / 1000.0 - ideal) / ideal * 100.0);
    std::printf("  %zu bytes: CPU %.3f ms while pacing, %.3f %% of wall time\n", bytes,
                cpu / 1000.0, cpu / wall * 100.0);
}

void reportHurry(const char* self, std::size_t bytes) {
    const Writer writer = startWriter(self, "pace", bytes);
    auto arrivals = watchBytes(writer, 1);  // paced text has started
    const auto pressed = Clock::now();
    if (write(writer.terminal, " ", 1) != 1) std::exit(1);
    const auto rest = watchBytes(writer, bytes - arrivals.size());
    finish(writer);
    std::printf("  %zu bytes: space press to the last byte %.3f ms\n", bytes,
                millis(rest.back() - pressed));
}

void reportWaiting(const char* self) {
    const Writer writer = startWriter(self, "wait", 0);
    timespec pause{2, 0};
    nanosleep(&pause, nullptr);
    if (write(writer.terminal, "k", 1) != 1) std::exit(1);
    const auto [wall, cpu] = finish(writer);
    std::printf("  waiting %.0f ms for a key: CPU %.3f ms (%.4f %% of wall time)\n", wall / 1000.0,
                cpu / 1000.0, cpu / wall * 100.0);
}

// Reads the game's terminal until pattern has come; when its last chunk arrived.
Clock::time_point readUntil(int terminal, std::string& seen, std::string_view pattern) {
    char chunk[4096];
    auto arrived = Clock::now();
    while (seen.find(pattern) == std::string::npos) {
        const ssize_t got = read(terminal, chunk, sizeof chunk);
        if (got <= 0) {
            std::fprintf(stderr, "the game ended before \"%.*s\"\n",
                         static_cast<int>(pattern.size()), pattern.data());
            std::exit(1);
        }
        arrived = Clock::now();
        seen.append(chunk, static_cast<std::size_t>(got));
    }
    return arrived;
}

void send(int terminal, std::string_view keys) {
    if (write(terminal, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size()))
        std::exit(1);
}

void reportPage() {
    int terminal = -1;
    const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (pid == 0) {
        execl(HUANGLANG_BINARY, HUANGLANG_BINARY, static_cast<char*>(nullptr));
        _exit(127);
    }
    std::string seen;
    readUntil(terminal, seen, "》a");
    send(terminal, "b\r");
    readUntil(terminal, seen, "（不输入则退出终端）：");
    send(terminal, "object-1\r");
    // The echo, the cleared screen, then the first bytes of the page.
    readUntil(terminal, seen, "object-1\r\n\x1b[2J\x1b[0;0H\x1b[1m#");
    const std::size_t before = seen.size();
    const auto pressed = Clock::now();
    send(terminal, " ");
    const auto last = readUntil(terminal, seen, "/archive/object-1\r\n");
    std::printf(
        "  the \"object-1\" page in the game: space press to the last byte %.3f ms "
        "(%zu bytes after the press)\n",
        millis(last - pressed), seen.size() - before);
    // A key sent the moment the page is out could still be taken by it, as the
    // rest of a hurried text takes keys; give the game time to wait for one.
    timespec settle{0, 100'000'000};
    nanosleep(&settle, nullptr);
    send(terminal, "\r");  // back to the terminal's front screen
    readUntil(terminal, seen, "（不输入则退出终端）：");
    send(terminal, "\r");  // and out, into the story, which waits for a key
    close(terminal);       // until its terminal goes away
    waitpid(pid, nullptr, 0);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string_view(argv[1]) == "--writer")
        return runWriter(argv[2], std::strtoul(argv[3], nullptr, 10));

    // One part alone: pacing, hurry or waiting; all three by default.
    const std::string_view only = argc > 1 ? argv[1] : "";
    std::printf("Paced output on a pseudo-terminal, 20 ms a byte\n");
    std::fflush(stdout);
    if (only.empty() || only == "pacing") {
        reportPacing(argv[0], 500, true);
        std::fflush(stdout);
        reportPacing(argv[0], 4096, false);
        std::fflush(stdout);
    }
    if (only.empty() || only == "hurry") reportHurry(argv[0], 10240);
    if (only.empty() || only == "waiting") reportWaiting(argv[0]);
    if (only.empty() || only == "page") reportPage();
    std::printf(
        "Targets: totals within 0.1 %%, hurry under 5 ms, CPU under 1 %% while pacing "
        "and none while waiting.\n");
    return 0;
}
