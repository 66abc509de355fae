// Drives a real program in a pseudo-terminal, as a player at a terminal would:
// send keys, wait for bytes to appear (with a timeout, never a fixed sleep),
// read the exit status and the terminal's mode before and after.
#pragma once

#include <sys/types.h>
#include <termios.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "visible.h"

using namespace std::chrono_literals;

// How a program is started.
struct Launch {
    std::string program;            // path of the binary
    std::vector<std::string> args;  // its arguments
    bool pipedInput = false;        // standard input is a pipe the test writes, not the terminal
    bool pipedOutput = false;       // standard output is a pipe the test reads, not the terminal
    bool noInput = false;           // standard input is not open at all
    std::string outputFile;         // standard output is this file (/dev/full…), if given
    bool nonBlockingInput = false;  // the terminal left non-blocking by whoever shares it
    bool asJob = false;             // a foreground job under a small shell, so Ctrl-Z can stop it
    bool inBackground =
        false;  // with asJob: started as `program &`, brought to the front by resume
    bool shellLineEditing = false;    // with inBackground: until resume the shell's line editor
                                      // has the terminal in its own mode, as an interactive shell's
                                      // has; resume puts the shell's usual mode back first
    std::vector<int> ignoredSignals;  // ignored before the program starts, as nohup does
    unsigned short rows = 24;
    unsigned short columns = 80;
};

// One event from the job shell.
struct Report {
    char kind;  // 'P' the program's pid, 'S' stopped by a signal, 'X' exited with a wait status
    int value;
};

class PtyGame {
  public:
    explicit PtyGame(const Launch& launch);
    ~PtyGame();
    PtyGame(const PtyGame&) = delete;
    PtyGame& operator=(const PtyGame&) = delete;

    // Keys: written to the terminal, or to the input pipe with pipedInput.
    void send(std::string_view keys);

    // Waits until pattern appears after the previous match; true when it did.
    bool expect(std::string_view pattern, std::chrono::milliseconds timeout = 5s);

    // As expect, but presses space once, as soon as paced text is trickling in,
    // the way a player hurries one text. Exactly one space per call: a stray one
    // would answer the next "press any key".
    bool hurryTo(std::string_view pattern, std::chrono::milliseconds timeout = 30s);

    // Waits until the program sleeps. Once a hurried text is out there are no
    // pauses left, so it then waits for a key: a key sent earlier could be taken
    // by the text, as a key pressed while a page is still being written is.
    bool waitAsleep(std::chrono::milliseconds timeout = 5s) { return waitState('S', timeout); }
    // Waits until the program is stopped, before any shell has seen it.
    bool waitHalted(std::chrono::milliseconds timeout = 5s) { return waitState('T', timeout); }

    // Waits for the program to end, reading its output meanwhile; the wait
    // status, or nothing on timeout.
    std::optional<int> waitExit(std::chrono::milliseconds timeout = 5s);

    // With asJob: waits until the program is stopped, then continues it in the
    // foreground, as a shell's fg does (also for one started in the background).
    bool waitStopped(std::chrono::milliseconds timeout = 5s);
    void resume() const;
    void resumeInBackground() const;  // as bg does; resume then brings it to the front

    // The terminal window takes this size, as when the player resizes it.
    void resize(unsigned short rows, unsigned short columns) const;

    // Text the shell writes to the terminal while the program is stopped.
    void shellWrites(std::string_view text) const;
    // The shell reads the keys waiting, as when Enter is pressed at its prompt.
    void shellReads() const;

    void stopReading();  // the terminal's buffer filled to the brim, and left unread

    void signal(int number) const;  // sends a signal to the program
    void closeInput();              // with pipedInput: end of input
    void closeOutput();             // with pipedOutput: the reader goes away
    void hangUp();                  // the terminal goes away, as when its window is closed

    // Waits until the terminal's mode satisfies test (it changes asynchronously).
    bool waitForMode(bool (*test)(const termios&), std::chrono::milliseconds timeout = 5s);

    termios mode() const;                                    // the terminal's mode now
    void setMode(const termios& mode) const;                 // as a shell does for itself
    const termios& startMode() const { return startMode_; }  // before the program ran
    const std::string& transcript() const { return transcript_; }
    // When each read of the output came, with the transcript's length after it.
    struct Arrival {
        std::chrono::steady_clock::time_point at;
        std::size_t end;
    };
    const std::vector<Arrival>& arrivals() const { return arrivals_; }
    std::string sinceMatch() const { return transcript_.substr(cursor_); }
    pid_t pid() const { return program_; }

  private:
    bool readSome(std::chrono::steady_clock::time_point until);  // false on timeout or EOF
    std::optional<Report> nextReport(std::chrono::steady_clock::time_point until);
    std::optional<int> reportedExit(std::chrono::steady_clock::time_point until);
    bool waitState(char state, std::chrono::milliseconds timeout);  // the scheduler's letter
    int outputFd() const { return outputPipe_ != -1 ? outputPipe_ : master_; }

    int master_ = -1;                // our side of the terminal
    int slave_ = -1;                 // kept open so the terminal and its mode outlive the program
    int inputPipe_ = -1;             // write end, with pipedInput
    int outputPipe_ = -1;            // read end, with pipedOutput
    int reports_ = -1;               // from the job shell: its events
    int commands_ = -1;              // to the job shell: continue
    pid_t child_ = -1;               // the process we forked (the shell, with asJob)
    pid_t program_ = -1;             // the program itself
    bool reaped_ = false;            // its exit status has been collected
    bool reading_ = true;            // the terminal reads what the program writes
    termios startMode_{};            // the terminal's mode before the program ran
    std::string transcript_;         // every byte the program wrote so far
    std::vector<Arrival> arrivals_;  // each read of it
    std::size_t cursor_ = 0;         // where the next expect starts looking
};

// The launch of program with args, everything else as a player starts it.
Launch launchOf(std::string program, std::vector<std::string> args = {});

// Where pattern ends in text, found from `from` on, as a terminal's text is
// set: the padding that ends a row early may stand between two of its bytes.
// npos where it is not.
std::size_t setTextEnd(std::string_view text, std::string_view pattern, std::size_t from = 0);

// Wait statuses: a normal exit with this code, or the end by this signal.
bool exitedWith(std::optional<int> status, int code);
bool killedBy(std::optional<int> status, int number);

// A program of the kit's first bytes at a terminal, and every way out's last:
// attributes reset, a line end if need be, the old title.
const std::string TITLE_SAVED = "\x1b[22;0t";
std::string wayOut(bool midLine);

// Chooses C at the title menu (or types it ahead); true when the game then ends
// with exit code 0.
bool leavesByChoiceC(PtyGame& play);

// The same bytes as a terminal delivers them: output processing turns each
// line feed into CR LF.
std::string asOnTerminal(std::string_view bytes);

// Equal in every flag and control character.
bool sameMode(const termios& a, const termios& b);

// Key mode: no canonical input or echo, no flow control, signals kept.
bool inKeyMode(const termios& mode);

std::string describeMode(const termios& mode);
