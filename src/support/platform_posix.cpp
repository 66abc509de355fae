// POSIX terminals: termios key mode, poll, and sleeps to a deadline.
//
// Key mode is what a pager or an editor in cbreak mode uses: no echo, no line
// buffering, no Ctrl-S freeze, but Ctrl-C still interrupts and output is left
// exactly as the terminal had it. The mode found at start comes back on every
// way out, and is put back around a suspend.
#include <poll.h>
#include <signal.h>  // NOLINT(modernize-deprecated-headers): POSIX sigaction and kill
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "support/platform.h"

namespace Game::Platform {
namespace {

// ---- Console state ------------------------------------------------------------

termios savedMode{};                      // the terminal's mode as we found it
termios keyMode{};                        // savedMode with line buffering and echo off
volatile sig_atomic_t keyModeWanted = 0;  // we own the terminal: key mode while in the foreground
bool prepared = false;                    // prepareConsole has run
bool inputEnded = false;                  // standard input has ended; it stays so

// Terminating signals: the mode is restored, then the signal is raised again
// with its default action, so the exit status still names it.
constexpr int terminatingSignals[] = {SIGINT,  SIGTERM, SIGHUP, SIGQUIT, SIGSEGV,
                                      SIGABRT, SIGBUS,  SIGFPE, SIGILL};

// A crash from a blown stack still needs a stack to restore the terminal on.
alignas(16) char signalStack[64 * 1024];

// ---- Mode changes (all async-signal-safe) -------------------------------------

// TCSANOW: never wait on output a stalled terminal may not drain, never flush
// keys typed ahead.
void applyMode(const termios& mode) {
    while (tcsetattr(STDIN_FILENO, TCSANOW, &mode) == -1 && errno == EINTR) {
    }
}

// Changing the mode from a background job would stop us with SIGTTOU; the
// shell keeps its own mode then, and SIGCONT brings us back to the front.
bool inForeground() {
    const pid_t group = tcgetpgrp(STDIN_FILENO);
    return group == -1 || group == getpgrp();
}

void enterKeyMode() {
    if (keyModeWanted != 0 && inForeground()) applyMode(keyMode);
}

void leaveKeyMode() {
    if (keyModeWanted != 0 && inForeground()) applyMode(savedMode);
}

void setHandler(int signal, void (*handler)(int), int flags) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = flags;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
}

// ---- Signal handlers ----------------------------------------------------------

void onTerminatingSignal(int signal) {
    const int savedErrno = errno;
    restoreConsole();
    setHandler(signal, SIG_DFL, 0);
    raise(signal);  // delivered with the default action as this handler returns
    // cppcheck-suppress unreachableCode ; raise returns: the signal is blocked in its handler
    errno = savedErrno;
}

void onSuspend(int /*signal*/) {
    const int savedErrno = errno;
    leaveKeyMode();
    setHandler(SIGTSTP, SIG_DFL, 0);
    sigset_t suspend;
    sigemptyset(&suspend);
    sigaddset(&suspend, SIGTSTP);
    sigprocmask(SIG_UNBLOCK, &suspend, nullptr);
    kill(getpid(), SIGTSTP);  // stops here until continued
    setHandler(SIGTSTP, onSuspend, SA_RESTART);
    enterKeyMode();
    errno = savedErrno;
}

// Also after an outside SIGSTOP, when a shell may have put its own mode back.
void onContinue(int /*signal*/) {
    const int savedErrno = errno;
    enterKeyMode();
    errno = savedErrno;
}

// Leaves alone any signal our parent told us to ignore (nohup, a job control-less shell).
bool ignoredAtStart(int signal) {
    struct sigaction current {};
    sigaction(signal, nullptr, &current);
    return current.sa_handler == SIG_IGN;
}

void installHandlers() {
    stack_t stack{};
    stack.ss_sp = signalStack;
    stack.ss_size = sizeof signalStack;
    sigaltstack(&stack, nullptr);
    for (const int signal : terminatingSignals)
        if (!ignoredAtStart(signal)) setHandler(signal, onTerminatingSignal, SA_ONSTACK);
    if (!ignoredAtStart(SIGTSTP)) setHandler(SIGTSTP, onSuspend, SA_RESTART);
    setHandler(SIGCONT, onContinue, SA_RESTART);
}

void restoreAtExit() { restoreConsole(); }

termios keyModeFrom(const termios& mode) {
    termios keys = mode;
    keys.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHONL | IEXTEN);
    keys.c_iflag &= ~static_cast<tcflag_t>(IXON);
    keys.c_cc[VMIN] = 1;
    keys.c_cc[VTIME] = 0;
    return keys;
}

timespec toTimespec(Clock::duration span) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(span);
    return {static_cast<time_t>(seconds.count()),
            static_cast<long>(std::chrono::nanoseconds(span - seconds).count())};
}

// Waits until fd is ready for events; false on a descriptor poll cannot watch.
bool waitFor(int fd, short events) {
    pollfd watch{fd, events, 0};
    while (poll(&watch, 1, -1) == -1)
        if (errno != EINTR) return false;
    return (watch.revents & POLLNVAL) == 0;
}

}  // namespace

// ---- Console mode -------------------------------------------------------------

void prepareConsole() {
    if (prepared) return;
    prepared = true;
    // A reader that went away must show up as a failed write, not kill us.
    if (!ignoredAtStart(SIGPIPE)) setHandler(SIGPIPE, SIG_IGN, 0);
    if (isatty(STDIN_FILENO) == 0 || tcgetattr(STDIN_FILENO, &savedMode) == -1) return;
    keyMode = keyModeFrom(savedMode);
    installHandlers();
    std::atexit(restoreAtExit);
    keyModeWanted = 1;
    enterKeyMode();
}

void restoreConsole() {
    leaveKeyMode();
    keyModeWanted = 0;
}

void enableVirtualTerminal() {}

bool inputIsTerminal() { return isatty(STDIN_FILENO) == 1; }

// ---- Input --------------------------------------------------------------------

bool inputReady() {
    if (inputEnded) return true;
    pollfd watch{STDIN_FILENO, POLLIN, 0};
    int ready;
    while ((ready = poll(&watch, 1, 0)) == -1)
        if (errno != EINTR) return true;  // the read will tell what is wrong
    return ready > 0;
}

bool waitInputUntil(Clock::time_point deadline) {
    if (inputEnded) return true;
    for (;;) {
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero()) return false;
        const timespec timeout = toTimespec(left);
        pollfd watch{STDIN_FILENO, POLLIN, 0};
        const int ready = ppoll(&watch, 1, &timeout, nullptr);
        if (ready > 0 || (ready == -1 && errno != EINTR)) return true;
        if (ready == 0) return false;
    }
}

std::size_t readInput(char* buffer, std::size_t size) {
    while (!inputEnded) {
        const ssize_t count = read(STDIN_FILENO, buffer, size);
        if (count > 0) return static_cast<std::size_t>(count);
        if (count == -1 && errno == EINTR) continue;
        // Someone else set the shared descriptor non-blocking: wait, don't spin.
        if (count == -1 && (errno == EAGAIN || errno == EWOULDBLOCK) &&
            waitFor(STDIN_FILENO, POLLIN))
            continue;
        // End of file, EIO after a hang-up, EBADF once closed: nothing more will come.
        inputEnded = true;
    }
    return 0;
}

// ---- Output -------------------------------------------------------------------

bool writeOutput(const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = write(STDOUT_FILENO, data, size);
        if (written > 0) {
            data += written;
            size -= static_cast<std::size_t>(written);
            continue;
        }
        const bool interrupted = written == -1 && errno == EINTR;
        const bool full = written == -1 && (errno == EAGAIN || errno == EWOULDBLOCK);
        // A signal or a full non-blocking terminal: try again; anything else is a closed output.
        if (!interrupted && !(full && waitFor(STDOUT_FILENO, POLLOUT))) return false;
    }
    return true;
}

// ---- Time and exit ------------------------------------------------------------

Clock::time_point now() { return Clock::now(); }

// The steady clock is CLOCK_MONOTONIC; sleeping to an absolute time on it means
// an interrupted sleep resumes toward the same deadline.
void sleepUntil(Clock::time_point deadline) {
    const timespec target = toTimespec(deadline.time_since_epoch());
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &target, nullptr) == EINTR) {
    }
}

void quit(int code) {
    restoreConsole();
    std::exit(code);
}

}  // namespace Game::Platform
