#include "e2e/pty_game.h"

#include <fcntl.h>
#include <poll.h>
#if __has_include(<pty.h>)
#include <pty.h>
#else
#include <util.h>  // openpty and forkpty on macOS and the BSDs
#endif
#include <signal.h>  // NOLINT(modernize-deprecated-headers): POSIX sigaction and kill
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <stdexcept>

namespace {

using Clock = std::chrono::steady_clock;

void check(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}

int remainingMillis(Clock::time_point until) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

void writeAll(int fd, const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = write(fd, bytes, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
}

void report(int fd, char kind, int value) {
    const Report event{kind, value};
    writeAll(fd, &event, sizeof event);
}

// In a child that is about to exec: a clean slate of signals.
void defaultSignals() {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int number = 1; number < NSIG; ++number) signal(number, SIG_DFL);
}

[[noreturn]] void execProgram(const Launch& launch, char* const argv[]) {
    defaultSignals();
    for (const int number : launch.ignoredSignals) signal(number, SIG_IGN);
    const rlimit noCore{0, 0};  // crash-signal tests need no core files
    setrlimit(RLIMIT_CORE, &noCore);
    execv(launch.program.c_str(), argv);
    _exit(127);
}

char awaitCommand(int commands) {
    char command = 0;
    while (read(commands, &command, 1) == -1 && errno == EINTR) {
    }
    return command;
}

// Continues the job as told, as a shell does: 'b' as bg does, in the
// background, until the next command; anything else as fg does, with the
// terminal handed to it (and the shell's usual mode back, if its line editor
// had the terminal). Only a stopped job is sent a continue.
void continueJob(pid_t job, int commands, bool stopped, const termios* usual) {
    while (awaitCommand(commands) == 'b') {
        if (stopped) kill(-job, SIGCONT);
        stopped = false;
    }
    if (usual != nullptr) tcsetattr(STDIN_FILENO, TCSANOW, usual);
    tcsetpgrp(STDIN_FILENO, job);
    if (stopped) kill(-job, SIGCONT);
}

// What a shell does for one job: its own process group, the terminal handed
// to it (or not, for one started in the background), stops reported and the
// job continued on request.
[[noreturn]] void runJobShell(const Launch& launch, char* const argv[], int reports, int commands) {
    signal(SIGTTOU, SIG_IGN);
    signal(SIGTTIN, SIG_IGN);
    signal(SIGTSTP, SIG_IGN);
    termios usual{};
    tcgetattr(STDIN_FILENO, &usual);
    if (launch.shellLineEditing) {  // no line buffering, no echo, CR as it comes
        termios editing = usual;
        editing.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
        editing.c_iflag &= ~static_cast<tcflag_t>(ICRNL);
        tcsetattr(STDIN_FILENO, TCSANOW, &editing);
    }
    const pid_t job = fork();
    if (job == 0) {
        // Both sides set the group and the foreground, so neither can race the other.
        setpgid(0, 0);
        if (!launch.inBackground) tcsetpgrp(STDIN_FILENO, getpid());
        execProgram(launch, argv);
    }
    setpgid(job, job);
    if (!launch.inBackground) tcsetpgrp(STDIN_FILENO, job);
    report(reports, 'P', job);
    if (launch.inBackground)  // until fg, the terminal stays the shell's
        continueJob(job, commands, false, launch.shellLineEditing ? &usual : nullptr);
    for (;;) {
        int status = 0;
        if (waitpid(job, &status, WUNTRACED) == -1) {
            if (errno == EINTR) continue;
            _exit(1);
        }
        if (WIFSTOPPED(status)) {
            tcsetpgrp(STDIN_FILENO, getpgrp());
            report(reports, 'S', WSTOPSIG(status));
            continueJob(job, commands, true, nullptr);
            continue;
        }
        report(reports, 'X', status);
        _exit(0);
    }
}

// pipe2 is Linux's; no thread forks while a pipe is being made, so two steps do.
void makePipe(int ends[2]) {
    check(pipe(ends) == 0, "pipe");
    for (int i = 0; i < 2; ++i) check(fcntl(ends[i], F_SETFD, FD_CLOEXEC) == 0, "fcntl");
}

}  // namespace

PtyGame::PtyGame(const Launch& launch) {
    winsize size{};
    size.ws_row = launch.rows;
    size.ws_col = launch.columns;
    check(openpty(&master_, &slave_, nullptr, nullptr, &size) == 0, "openpty");
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    fcntl(slave_, F_SETFD, FD_CLOEXEC);
    check(tcgetattr(slave_, &startMode_) == 0, "tcgetattr");

    int input[2] = {-1, -1};
    int output[2] = {-1, -1};
    int reports[2] = {-1, -1};
    int commands[2] = {-1, -1};
    if (launch.pipedInput) makePipe(input);
    if (launch.pipedOutput) makePipe(output);
    if (launch.asJob) {
        makePipe(reports);
        makePipe(commands);
    }

    std::vector<std::string> words{launch.program};
    words.insert(words.end(), launch.args.begin(), launch.args.end());
    std::vector<char*> argv;
    argv.reserve(words.size());
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    child_ = fork();
    check(child_ != -1, "fork");
    if (child_ == 0) {
        setsid();
        ioctl(slave_, TIOCSCTTY, 0);
        dup2(launch.pipedInput ? input[0] : slave_, STDIN_FILENO);
        dup2(launch.pipedOutput ? output[1] : slave_, STDOUT_FILENO);
        dup2(slave_, STDERR_FILENO);
        if (launch.noInput) close(STDIN_FILENO);
        if (!launch.outputFile.empty())
            dup2(open(launch.outputFile.c_str(), O_WRONLY), STDOUT_FILENO);
        if (launch.nonBlockingInput) fcntl(STDIN_FILENO, F_SETFL, O_NONBLOCK);
        if (launch.asJob) runJobShell(launch, argv.data(), reports[1], commands[0]);
        execProgram(launch, argv.data());
    }

    program_ = child_;
    if (launch.pipedInput) {
        close(input[0]);
        inputPipe_ = input[1];
    }
    if (launch.pipedOutput) {
        close(output[1]);
        outputPipe_ = output[0];
    }
    if (launch.asJob) {
        close(reports[1]);
        close(commands[0]);
        reports_ = reports[0];
        commands_ = commands[1];
        Report first{};
        check(read(reports_, &first, sizeof first) == sizeof first && first.kind == 'P',
              "job shell start");
        program_ = first.value;
    }
}

PtyGame::~PtyGame() {
    if (!reaped_) {
        kill(program_, SIGKILL);
        if (child_ != program_) kill(child_, SIGKILL);
    }
    waitpid(child_, nullptr, 0);
    for (const int fd : {master_, slave_, inputPipe_, outputPipe_, reports_, commands_})
        if (fd != -1) close(fd);
}

void PtyGame::send(std::string_view keys) {
    writeAll(inputPipe_ != -1 ? inputPipe_ : master_, keys.data(), keys.size());
}

bool PtyGame::readSome(Clock::time_point until) {
    if (!reading_) {
        poll(nullptr, 0, remainingMillis(until));
        return false;
    }
    const int from = outputFd();
    pollfd watch{from, POLLIN, 0};
    const int ready = poll(&watch, 1, remainingMillis(until));
    if (ready <= 0) return false;
    char chunk[4096];
    const ssize_t count = read(from, chunk, sizeof chunk);
    if (count <= 0) return false;
    transcript_.append(chunk, static_cast<std::size_t>(count));
    arrivals_.push_back({Clock::now(), transcript_.size()});
    return true;
}

namespace {

// The bytes of the spaces that end a row early at `at`, and the attributes
// put aside and back around them; 0 where there are none.
std::size_t paddingAt(std::string_view text, std::size_t at) {
    static const std::regex padding("^(\x1b\\[[0-9;]*m)* +(\x1b\\[[0-9;]*m)*");
    std::match_results<std::string_view::const_iterator> found;
    const std::string_view rest = text.substr(at);
    return std::regex_search(rest.begin(), rest.end(), found, padding) ? found.length(0) : 0;
}

}  // namespace

std::size_t setTextEnd(std::string_view text, std::string_view pattern, std::size_t from) {
    for (std::size_t start = from; start < text.size(); ++start) {
        std::size_t i = 0;
        std::size_t j = start;
        while (i < pattern.size()) {
            if (j < text.size() && text[j] == pattern[i]) {
                ++i;
                ++j;
            } else if (const std::size_t padding = i > 0 ? paddingAt(text, j) : 0) {
                j += padding;
            } else {
                break;
            }
        }
        if (i == pattern.size()) return j;
    }
    return std::string_view::npos;
}

bool PtyGame::expect(std::string_view pattern, std::chrono::milliseconds timeout) {
    const auto until = Clock::now() + timeout;
    for (;;) {
        const auto end = setTextEnd(transcript_, pattern, cursor_);
        if (end != std::string_view::npos) {
            cursor_ = end;
            return true;
        }
        if (Clock::now() >= until || !readSome(until)) return false;
    }
}

bool PtyGame::hurryTo(std::string_view pattern, std::chrono::milliseconds timeout) {
    const auto until = Clock::now() + timeout;
    const std::size_t seen = transcript_.size();
    while (transcript_.size() == seen)
        if (!readSome(until)) return false;
    if (setTextEnd(transcript_, pattern, cursor_) == std::string_view::npos) send(" ");
    return expect(pattern,
                  std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()));
}

std::optional<Report> PtyGame::nextReport(Clock::time_point until) {
    for (;;) {
        pollfd watch[2] = {{reports_, POLLIN, 0}, {outputFd(), POLLIN, 0}};
        if (poll(watch, 2, remainingMillis(until)) <= 0) return std::nullopt;
        if ((watch[1].revents & POLLIN) != 0) readSome(Clock::now());
        if ((watch[0].revents & (POLLIN | POLLHUP)) == 0) continue;
        Report event{};
        if (read(reports_, &event, sizeof event) != sizeof event) return std::nullopt;
        return event;
    }
}

std::optional<int> PtyGame::reportedExit(Clock::time_point until) {
    while (const auto event = nextReport(until))
        if (event->kind == 'X') return event->value;
    return std::nullopt;
}

std::optional<int> PtyGame::waitExit(std::chrono::milliseconds timeout) {
    const auto until = Clock::now() + timeout;
    std::optional<int> status;
    if (reports_ != -1) {
        status = reportedExit(until);
    } else {
        // Keep reading, so a program writing its last words never blocks on us.
        for (;;) {
            int raw = 0;
            if (waitpid(child_, &raw, WNOHANG) == child_) {
                status = raw;
                break;
            }
            if (Clock::now() >= until) break;
            readSome(std::min(until, Clock::now() + 20ms));
        }
    }
    if (!status) return std::nullopt;
    reaped_ = true;
    while (readSome(Clock::now())) {
    }
    return status;
}

bool PtyGame::waitStopped(std::chrono::milliseconds timeout) {
    const auto until = Clock::now() + timeout;
    while (const auto event = nextReport(until)) {
        if (event->kind == 'S') return true;
        if (event->kind == 'X') return false;
    }
    return false;
}

void PtyGame::resume() const { writeAll(commands_, "c", 1); }

void PtyGame::resumeInBackground() const { writeAll(commands_, "b", 1); }

void PtyGame::resize(unsigned short rows, unsigned short columns) const {
    winsize size{};
    size.ws_row = rows;
    size.ws_col = columns;
    ioctl(master_, TIOCSWINSZ, &size);  // the terminal's foreground gets SIGWINCH
}

void PtyGame::shellWrites(std::string_view text) const {
    writeAll(slave_, text.data(), text.size());
}

void PtyGame::shellReads() const { tcflush(slave_, TCIFLUSH); }

void PtyGame::stopReading() {
    reading_ = false;
    const int filler = open(ptsname(master_), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    check(filler != -1, "open the terminal");
    const std::string block(4096, '.');
    while (write(filler, block.data(), block.size()) > 0) {
    }
    close(filler);
}

void PtyGame::signal(int number) const { kill(program_, number); }

void PtyGame::closeInput() {
    close(inputPipe_);
    inputPipe_ = -1;
}

void PtyGame::closeOutput() {
    close(outputPipe_);
    outputPipe_ = -1;
}

void PtyGame::hangUp() {
    close(master_);
    close(slave_);
    master_ = slave_ = -1;
}

termios PtyGame::mode() const {
    termios now{};
    tcgetattr(slave_, &now);
    return now;
}

void PtyGame::setMode(const termios& mode) const { tcsetattr(slave_, TCSANOW, &mode); }

bool PtyGame::waitForMode(bool (*test)(const termios&), std::chrono::milliseconds timeout) {
    const auto until = Clock::now() + timeout;
    while (!test(mode())) {
        if (Clock::now() >= until) return false;
        readSome(std::min(until, Clock::now() + 10ms));
    }
    return true;
}

namespace {

// The state letter as ps shows it, where there is no /proc (macOS).
char processStateByPs(pid_t pid) {
    char command[64];
    std::snprintf(command, sizeof command, "ps -o state= -p %d", static_cast<int>(pid));
    FILE* ps = popen(command, "r");
    if (ps == nullptr) return '?';
    const int state = std::fgetc(ps);
    pclose(ps);
    return state == EOF ? '?' : static_cast<char>(state);
}

// The scheduler's state letter of a process: R running, S sleeping, T stopped…
char processState(pid_t pid) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
    FILE* stat = std::fopen(path, "r");
    if (stat == nullptr) return processStateByPs(pid);
    char state = '?';
    // "pid (name) state …": the name may hold spaces, so look past its last ')'.
    char line[512];
    if (std::fgets(line, sizeof line, stat) != nullptr) {
        const char* close = std::strrchr(line, ')');
        if (close != nullptr && close[1] == ' ') state = close[2];
    }
    std::fclose(stat);
    return state;
}

}  // namespace

bool PtyGame::waitState(char state, std::chrono::milliseconds timeout) {
    const auto until = Clock::now() + timeout;
    while (processState(program_) != state) {
        if (Clock::now() >= until) return false;
        readSome(std::min(until, Clock::now() + 1ms));
    }
    return true;
}

Launch launchOf(std::string program, std::vector<std::string> args) {
    Launch launch;
    launch.program = std::move(program);
    launch.args = std::move(args);
    return launch;
}

bool exitedWith(std::optional<int> status, int code) {
    return status && WIFEXITED(*status) && WEXITSTATUS(*status) == code;
}

bool killedBy(std::optional<int> status, int number) {
    return status && WIFSIGNALED(*status) && WTERMSIG(*status) == number;
}

std::string wayOut(bool midLine) {
    return std::string("\x1b[0m") + (midLine ? "\r\n" : "") + "\x1b[23;0t";
}

bool leavesByChoiceC(PtyGame& play) {
    play.send("c\r");
    return exitedWith(play.waitExit(), 0);
}

std::string asOnTerminal(std::string_view bytes) {
    std::string shown;
    for (const char c : bytes) {
        if (c == '\n') shown += '\r';
        shown += c;
    }
    return shown;
}

bool sameMode(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

bool inKeyMode(const termios& mode) {
    return (mode.c_lflag & (ICANON | ECHO | ECHONL | IEXTEN)) == 0 && (mode.c_iflag & IXON) == 0 &&
           (mode.c_lflag & ISIG) != 0 && mode.c_cc[VMIN] == 1 && mode.c_cc[VTIME] == 0;
}

std::string describeMode(const termios& mode) {
    char text[160];
    // tcflag_t is an unsigned int on Linux and an unsigned long on macOS.
    std::snprintf(text, sizeof text, "iflag %#lo oflag %#lo cflag %#lo lflag %#lo vmin %d vtime %d",
                  static_cast<unsigned long>(mode.c_iflag),
                  static_cast<unsigned long>(mode.c_oflag),
                  static_cast<unsigned long>(mode.c_cflag),
                  static_cast<unsigned long>(mode.c_lflag), mode.c_cc[VMIN], mode.c_cc[VTIME]);
    return text;
}
