// POSIX terminals (Linux, macOS, the BSDs): termios key mode, select, and
// sleeps to a deadline.
//
// Key mode is what a pager or an editor in cbreak mode uses: no echo, no line
// buffering, no Ctrl-S freeze, but Ctrl-C still interrupts and output is left
// exactly as the terminal had it. The mode found when the game first has the
// terminal comes back on every way out, and is put back around a suspend.
//
// Only what all of these systems have is used: select rather than poll, which
// macOS does not support on terminals, and nanosleep against the steady clock
// rather than clock_nanosleep, which macOS lacks.
#include <fcntl.h>
#include <signal.h>  // NOLINT(modernize-deprecated-headers): POSIX sigaction and kill
#include <sys/ioctl.h>
#include <sys/select.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "support/platform.h"

namespace Game::Platform {
namespace {

// ---- Console state ------------------------------------------------------------

termios savedMode{};                      // the terminal's mode when we first had it
termios keyMode{};                        // savedMode with line buffering and echo off
volatile sig_atomic_t modeTaken = 0;      // savedMode and keyMode hold those modes
volatile sig_atomic_t keyModeWanted = 0;  // we own the terminal: key mode while in the foreground
volatile sig_atomic_t resumeCount = 0;    // returns to a terminal someone else had used
bool behind = false;                      // the last look found another job in the foreground
bool outputIsTerminal = false;            // a fatal signal resets the text attributes there
bool prepared = false;                    // prepareConsole has run
bool inputEnded = false;                  // standard input has ended; it stays so
int wakeRead = -1;                        // a pipe the continue and resize handlers write
int wakeWrite = -1;                       //   to, so a select waiting for a key returns
volatile sig_atomic_t leaving = 0;        // the way out has begun: it runs once
volatile sig_atomic_t midLine = 0;        // the output layer says the cursor is inside a line
volatile sig_atomic_t titleSaved = 0;     // the title found is on the terminal's title stack

// Every signal whose default action ends the process, but SIGKILL and SIGSTOP,
// which cannot be caught. The mode is restored, then the signal is raised again
// with its default action, so the exit status still names it.
constexpr int fatalSignals[] = {
    SIGHUP,    SIGINT,  SIGQUIT, SIGILL,  SIGTRAP, SIGABRT, SIGBUS,    SIGFPE,  SIGUSR1,
    SIGSEGV,   SIGUSR2, SIGALRM, SIGTERM, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGSYS,
#ifdef SIGEMT
    SIGEMT,
#endif
#ifdef __linux__  // elsewhere SIGIO is discarded by default, and the others do not exist
    SIGSTKFLT, SIGIO,   SIGPWR,
#endif
};

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

termios keyModeFrom(const termios& mode) {
    termios keys = mode;
    keys.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHONL | IEXTEN);
    // Enter as CR LF (a terminal in new-line mode) must not become two line feeds.
    keys.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL);
    keys.c_cc[VMIN] = 1;
    keys.c_cc[VTIME] = 0;
    return keys;
}

// The mode to put back is the terminal's when the game first has the front:
// before that, in the background, a shell's line editor may have it in a mode
// of its own.
void takeModeOnce() {
    if (modeTaken != 0 || tcgetattr(STDIN_FILENO, &savedMode) != 0) return;
    keyMode = keyModeFrom(savedMode);
    modeTaken = 1;
}

void enterKeyMode() {
    if (keyModeWanted == 0 || !inForeground()) return;
    takeModeOnce();
    if (modeTaken != 0) applyMode(keyMode);
}

void leaveKeyMode() {
    if (keyModeWanted != 0 && modeTaken != 0 && inForeground()) applyMode(savedMode);
}

// Back at the front: after a continue, or after a shell's fg of a job that was
// waiting rather than stopped, which sends no signal. A terminal found echoing
// has been someone else's meanwhile: readers showing a line draw it again.
void takeTheFront() {
    termios found{};
    if (keyModeWanted != 0 && inForeground() && tcgetattr(STDIN_FILENO, &found) == 0 &&
        (found.c_lflag & (ICANON | ECHO)) != 0)
        resumeCount = resumeCount + 1;
    enterKeyMode();
}

// Runs work with the signals of a set held off.
template <typename Work>
void withHeld(const sigset_t& held, Work work) {
    sigset_t previous;
    sigprocmask(SIG_BLOCK, &held, &previous);
    work();
    sigprocmask(SIG_SETMASK, &previous, nullptr);
}

// Runs work with the suspend and continue handlers held off.
template <typename Work>
void withJobControlHeld(Work work) {
    sigset_t jobControl;
    sigemptyset(&jobControl);
    sigaddset(&jobControl, SIGCONT);
    sigaddset(&jobControl, SIGTSTP);
    withHeld(jobControl, work);
}

// Runs work with every signal that can be held held off.
template <typename Work>
void withSignalsHeld(Work work) {
    sigset_t all;
    sigfillset(&all);
    withHeld(all, work);
}

// A job brought to the front without a continue finds out at its next look;
// true when it has just come back.
bool cameToTheFront() {
    if (keyModeWanted == 0) return false;
    const bool front = inForeground();
    const bool came = front && behind;
    behind = !front;
    if (came) withJobControlHeld(takeTheFront);
    return came;
}

// Writes what the terminal takes at once and lets the rest go: a way out
// never waits on a terminal that has stopped reading, and a failed write is
// let go, as we are leaving. Signals are held off while output is
// non-blocking, so none finds it so and keeps it.
void writeWithoutWaiting(const char* data, std::size_t size) {
    withSignalsHeld([&] {
        const int flags = fcntl(STDOUT_FILENO, F_GETFL);
        if (flags == -1) return;
        fcntl(STDOUT_FILENO, F_SETFL, flags | O_NONBLOCK);
        while (size > 0) {
            const ssize_t written = write(STDOUT_FILENO, data, size);
            if (written > 0) {
                data += written;
                size -= static_cast<std::size_t>(written);
            } else if (written == 0 || errno != EINTR) {
                break;
            }
        }
        fcntl(STDOUT_FILENO, F_SETFL, flags);
    });
}

template <std::size_t N>
void append(char* bytes, std::size_t& size, const char (&text)[N]) {
    for (std::size_t i = 0; i + 1 < N; ++i) bytes[size++] = text[i];
}

// Before the shell's lines: the attributes reset, whatever a page was in the
// middle of. Leaving for good, also the cursor at the start of a line and the
// window's title put back.
void tidyTerminal(bool forGood) {
    if (!outputIsTerminal) return;
    char bytes[32];
    std::size_t size = 0;
    append(bytes, size, "\033[0m");
    if (forGood && midLine != 0) bytes[size++] = '\n';
    if (forGood && titleSaved != 0) append(bytes, size, "\033[23;0t");
    writeWithoutWaiting(bytes, size);
}

// Leaves the terminal tidy and puts back the mode we found. Idempotent and
// safe from a signal handler. Signals are held off meanwhile: the continue and
// suspend handlers find keyModeWanted cleared when they run, so nothing brings
// key mode back after, and no other way out starts over this one.
void restoreConsole() {
    withSignalsHeld([] {
        if (leaving != 0) return;
        leaving = 1;
        tidyTerminal(true);
        if (keyModeWanted == 0) return;
        keyModeWanted = 0;
        if (modeTaken != 0 && inForeground()) applyMode(savedMode);
    });
}

// A full pipe already holds a wake-up, so a failed write loses nothing.
void wake() {
    const char byte = 0;
    if (wakeWrite == -1) return;
    [[maybe_unused]] const ssize_t written = write(wakeWrite, &byte, 1);
}

void setHandler(int signal, void (*handler)(int), int flags) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = flags;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
}

// ---- Signal handlers ----------------------------------------------------------

void onFatalSignal(int signal) {
    const int savedErrno = errno;
    restoreConsole();
    setHandler(signal, SIG_DFL, 0);
    raise(signal);  // delivered with the default action as this handler returns
    // cppcheck-suppress unreachableCode ; raise returns: the signal is blocked in its handler
    errno = savedErrno;
}

// The shell's lines after ours start plain, whatever a text was in the middle
// of; the game sets its attributes again when it is back.
void onSuspend(int /*signal*/) {
    const int savedErrno = errno;
    tidyTerminal(false);
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
// A continue that stopped nothing finds key mode and draws nothing.
void onContinue(int /*signal*/) {
    const int savedErrno = errno;
    takeTheFront();
    wake();
    errno = savedErrno;
}

// Readers look at the new size themselves: the wake-up is all they need.
void onResize(int /*signal*/) { wake(); }

// Leaves alone any signal our parent told us to ignore (nohup, a job control-less shell).
bool ignoredAtStart(int signal) {
    struct sigaction current {};
    sigaction(signal, nullptr, &current);
    return current.sa_handler == SIG_IGN;
}

void installFatalHandler(int signal) {
    if (ignoredAtStart(signal)) return;
    struct sigaction action {};
    action.sa_handler = onFatalSignal;
    action.sa_flags = SA_ONSTACK;
    sigfillset(&action.sa_mask);  // one restore, not one interrupted by another signal
    sigaction(signal, &action, nullptr);
}

void installFatalHandlers() {
    stack_t stack{};
    stack.ss_sp = signalStack;
    stack.ss_size = sizeof signalStack;
    sigaltstack(&stack, nullptr);
    for (const int signal : fatalSignals) installFatalHandler(signal);
#ifdef SIGRTMIN
    for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) installFatalHandler(signal);
#endif
}

void installJobControlHandlers() {
    if (!ignoredAtStart(SIGTSTP)) setHandler(SIGTSTP, onSuspend, SA_RESTART);
    setHandler(SIGCONT, onContinue, SA_RESTART);
    setHandler(SIGWINCH, onResize, SA_RESTART);
}

void restoreAtExit() { restoreConsole(); }

// On the terminal's title stack, for every way out to pop; terminals without
// one ignore both.
void saveTitle() {
    static constexpr char push[] = "\033[22;0t";
    titleSaved = writeOutput(push, sizeof push - 1) == Written::ALL ? 1 : 0;
}

// Out of the way of standard input, output and error, which may be closed at
// start, and not passed on to anything we might run.
int highDescriptor(int fd) {
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    close(fd);
    return moved;
}

void openWakePipe() {
    int ends[2];
    if (pipe(ends) == -1) return;
    wakeRead = highDescriptor(ends[0]);
    wakeWrite = highDescriptor(ends[1]);
    for (const int end : {wakeRead, wakeWrite})
        if (end != -1) fcntl(end, F_SETFL, fcntl(end, F_GETFL) | O_NONBLOCK);
}

void drainWakePipe() {
    char bytes[64];
    while (read(wakeRead, bytes, sizeof bytes) > 0) {
    }
}

// ---- Waiting ------------------------------------------------------------------

// Rounded up, so a wait never ends a hair before the deadline and spins on it.
timeval toTimeval(Clock::duration span) {
    const auto micros = std::chrono::ceil<std::chrono::microseconds>(span).count();
    return {static_cast<time_t>(micros / 1000000), static_cast<suseconds_t>(micros % 1000000)};
}

timespec toTimespec(Clock::duration span) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(span);
    return {static_cast<time_t>(seconds.count()),
            static_cast<long>(std::chrono::nanoseconds(span - seconds).count())};
}

struct Ready {
    bool input = false;  // standard input is readable
    bool woken = false;  // a handler woke us: the console changed
};

// Waits until standard input is readable (when watched) or a handler wakes
// us, for at most timeout (none: no limit). A failed select counts as input:
// the read will tell what is wrong.
Ready waitReadable(bool watchInput, const timeval* timeout) {
    fd_set readable;
    FD_ZERO(&readable);
    if (watchInput) FD_SET(STDIN_FILENO, &readable);
    if (wakeRead != -1) FD_SET(wakeRead, &readable);
    timeval left{};
    if (timeout != nullptr) left = *timeout;
    const int top = std::max(STDIN_FILENO, wakeRead) + 1;
    if (select(top, &readable, nullptr, nullptr, timeout != nullptr ? &left : nullptr) == -1)
        return {errno != EINTR, false};
    Ready ready;
    ready.input = watchInput && FD_ISSET(STDIN_FILENO, &readable);
    if (wakeRead != -1 && FD_ISSET(wakeRead, &readable)) {
        drainWakePipe();
        ready.woken = true;
    }
    return ready;
}

// False on a descriptor select cannot watch.
bool waitWritable() {
    fd_set writable;
    FD_ZERO(&writable);
    FD_SET(STDOUT_FILENO, &writable);
    int ready;
    while ((ready = select(STDOUT_FILENO + 1, nullptr, &writable, nullptr, nullptr)) == -1)
        if (errno != EINTR) return false;
    return ready > 0;
}

// How often a job in the background looks whether it has been brought to the
// front: a shell's fg sends no continue to a job that was not stopped.
constexpr timeval A_WHILE{0, 250000};

// A read from the background fails when SIGTTIN is ignored or our process group
// is orphaned. The terminal is still there, so we wait to be brought to the front.
void waitForForeground() {
    behind = true;
    while (!inForeground()) waitReadable(false, &A_WHILE);
    cameToTheFront();
}

// Keys are waiting, but we are in the background. A read would stop the job
// until fg, inside the read, and at fg the read would wait on for a key before
// anyone could draw their line again. So the job stops here, before reading,
// as the terminal would stop it; where it cannot stop (SIGTTIN ignored, an
// orphaned process group) or goes on in the background, it waits for the front.
void askForTheFront() {
    behind = true;
    if (!ignoredAtStart(SIGTTIN)) kill(0, SIGTTIN);  // the whole job, as the terminal does
    while (!inForeground()) waitReadable(false, &A_WHILE);
}

}  // namespace

// ---- Console mode -------------------------------------------------------------

void prepareConsole() {
    if (prepared) return;
    prepared = true;
    // A reader that went away must show up as a failed write, not kill us.
    if (!ignoredAtStart(SIGPIPE)) setHandler(SIGPIPE, SIG_IGN, 0);
    outputIsTerminal = isatty(STDOUT_FILENO) == 1;
    if (outputIsTerminal) saveTitle();
    const bool keys = isatty(STDIN_FILENO) == 1;
    // A terminal on either side has something to put back when a signal ends us.
    if (keys || outputIsTerminal) installFatalHandlers();
    if (!keys) return;
    openWakePipe();
    installJobControlHandlers();
    std::atexit(restoreAtExit);
    keyModeWanted = 1;
    enterKeyMode();
    behind = !inForeground();
}

void enableVirtualTerminal() {}

bool inputIsTerminal() { return isatty(STDIN_FILENO) == 1; }

// ---- The console under the game -----------------------------------------------

unsigned resumes() { return static_cast<unsigned>(resumeCount); }

// The window the game writes to, or when that is a pipe (into a log, say),
// the one the keys come from.
WindowSize windowSize() {
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == -1 &&
        ioctl(STDIN_FILENO, TIOCGWINSZ, &size) == -1)
        return {};
    return {size.ws_col, size.ws_row};
}

// ---- Input --------------------------------------------------------------------

Wake waitInput(std::optional<Clock::time_point> deadline) {
    if (inputEnded) return Wake::INPUT;
    for (;;) {
        if (cameToTheFront()) return Wake::CHANGED;
        timeval timeout{};
        if (deadline)
            timeout = toTimeval(std::max(*deadline - Clock::now(), Clock::duration::zero()));
        if (behind && (!deadline || timeout.tv_sec > 0 || timeout.tv_usec > A_WHILE.tv_usec))
            timeout = A_WHILE;
        const Ready ready = waitReadable(true, deadline || behind ? &timeout : nullptr);
        if (ready.input && !inForeground()) {
            askForTheFront();
            continue;
        }
        if (ready.input) return Wake::INPUT;
        if (ready.woken) return Wake::CHANGED;
        if (deadline && Clock::now() >= *deadline) return Wake::DEADLINE;
    }
}

std::size_t readInput(char* buffer, std::size_t size) {
    while (!inputEnded) {
        const ssize_t count = read(STDIN_FILENO, buffer, size);
        if (count > 0) return static_cast<std::size_t>(count);
        if (count == -1 && errno == EINTR) continue;
        // Someone else set the shared descriptor non-blocking: wait, don't spin.
        if (count == -1 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            waitReadable(true, nullptr);
            continue;
        }
        // A failed read from the background, with the terminal still there.
        if (count == -1 && errno == EIO && !inForeground()) {
            waitForForeground();
            continue;
        }
        // End of file, EIO after a hang-up, EBADF once closed: nothing more will come.
        inputEnded = true;
    }
    return 0;
}

// ---- Output -------------------------------------------------------------------

namespace {

// A reader gone: a closed pipe, a hung-up terminal, no output at all.
bool readerGone(int error) {
    return error == EPIPE || error == EBADF ||
           (outputIsTerminal && (error == EIO || error == ENXIO));
}

}  // namespace

Written writeOutput(const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = write(STDOUT_FILENO, data, size);
        if (written > 0) {
            data += written;
            size -= static_cast<std::size_t>(written);
            continue;
        }
        if (written == 0) return Written::CLOSED;
        const bool interrupted = errno == EINTR;
        const bool full = errno == EAGAIN || errno == EWOULDBLOCK;
        // A signal or a full non-blocking terminal: try again.
        if (interrupted || (full && waitWritable())) continue;
        return readerGone(errno) || full ? Written::CLOSED : Written::FAILED;
    }
    return Written::ALL;
}

void noteMidLine(bool inLine) { midLine = inLine ? 1 : 0; }

// ---- Time and exit ------------------------------------------------------------

Clock::time_point now() { return Clock::now(); }

// Each sleep is for what is left until the deadline on the steady clock, so an
// interrupted or early sleep resumes toward the same moment and nothing drifts.
void sleepUntil(Clock::time_point deadline) {
    for (auto left = deadline - Clock::now(); left > Clock::duration::zero();
         left = deadline - Clock::now()) {
        const timespec span = toTimespec(left);
        nanosleep(&span, nullptr);
    }
}

void quit(int code) {
    restoreConsole();
    std::exit(code);
}

}  // namespace Game::Platform
