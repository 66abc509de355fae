// The Windows console: UTF-8 code page, VT processing, key events from the
// console's input buffer, a thread that reads a pipe ahead, and a
// high-resolution waitable timer for the pauses.
//
// A plain Sleep(20) lasts one or two 15.6 ms ticks of the default timer, which
// would make pacing uneven; the waitable timer sleeps to the deadline instead.
#include <process.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "support/platform.h"

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace Game::Platform {
namespace {

// ---- Console state ------------------------------------------------------------

bool prepared = false;         // prepareConsole has run and restore has not
UINT savedOutputCodePage = 0;  // the console's code pages as we found them
UINT savedInputCodePage = 0;
DWORD savedOutputMode = 0;    // the output mode as we found it
bool haveOutputMode = false;  // standard output is a console and savedOutputMode is valid
DWORD savedInputMode = 0;     // the input mode as we found it
bool haveInputMode = false;   // standard input is a console and savedInputMode is valid
HANDLE timer = nullptr;       // for pauses; created on first use
bool inputEnded = false;      // standard input has ended; it stays so
std::string keys;             // bytes of keys already read from the console, not yet handed out
wchar_t highSurrogate = 0;    // the first half of a character whose second half is still to come

HANDLE inputHandle() { return GetStdHandle(STD_INPUT_HANDLE); }
HANDLE outputHandle() { return GetStdHandle(STD_OUTPUT_HANDLE); }

// What standard input is: a console gives key events, a pipe must be read
// ahead to be waited on, and anything else (a file, NUL, nothing) never blocks.
enum class Source { CONSOLE, PIPE, FILE };

Source inputSource() {
    static const Source source = [] {
        DWORD mode = 0;
        if (GetConsoleMode(inputHandle(), &mode) != 0) return Source::CONSOLE;
        return GetFileType(inputHandle()) == FILE_TYPE_PIPE ? Source::PIPE : Source::FILE;
    }();
    return source;
}

// Ctrl-C is handled on a thread of its own while the game goes on writing: the
// handler takes the output, and after its reset the game's thread writes nothing more.
SRWLOCK writing = SRWLOCK_INIT;
volatile LONG leaving = 0;  // the handler has begun the way out

bool writeBytes(const char* data, std::size_t size) {
    const HANDLE output = outputHandle();
    while (size > 0) {
        DWORD written = 0;
        const DWORD chunk = size > 65536 ? 65536 : static_cast<DWORD>(size);
        if (WriteFile(output, data, chunk, &written, nullptr) == 0 || written == 0) return false;
        data += written;
        size -= written;
    }
    return true;
}

bool writeAll(const char* data, std::size_t size) {
    AcquireSRWLockExclusive(&writing);
    if (leaving != 0) {
        ReleaseSRWLockExclusive(&writing);
        Sleep(INFINITE);  // Windows ends the process once the handler returns
    }
    const bool written = writeBytes(data, size);
    ReleaseSRWLockExclusive(&writing);
    return written;
}

// Idempotent; also from the console's handler thread, on its way out.
void restoreConsole() {
    if (!prepared) return;
    prepared = false;
    if (savedOutputCodePage != 0) SetConsoleOutputCP(savedOutputCodePage);
    if (savedInputCodePage != 0) SetConsoleCP(savedInputCodePage);
    if (haveOutputMode) SetConsoleMode(outputHandle(), savedOutputMode);
    if (haveInputMode) SetConsoleMode(inputHandle(), savedInputMode);
}

// Ctrl-C, Ctrl-Break and a closed window: the text attributes reset and the
// console restored, then Windows ends us.
BOOL WINAPI onConsoleEvent(DWORD /*event*/) {
    static constexpr char reset[] = "\033[0m";
    InterlockedExchange(&leaving, 1);
    // A write stuck on a console that stopped reading holds the output: wait a
    // little for it, never for good. It is kept: nothing follows the reset.
    for (int tries = 0; tries < 50 && TryAcquireSRWLockExclusive(&writing) == 0; ++tries) Sleep(4);
    if (haveOutputMode) writeBytes(reset, sizeof reset - 1);
    restoreConsole();
    return FALSE;
}

void restoreAtExit() { restoreConsole(); }

// ---- Keys from the console ----------------------------------------------------
// The console's input buffer holds events: keys pressed and released, the
// mouse, focus and size. A key is a key pressed that gives a character, or
// one of the keys a player presses that give none: those become the escape
// sequences a terminal sends for them, which the kit takes whole and ignores
// but where any key will do, as at a terminal. Shift, Ctrl and Alt alone are
// no key. A character typed as Alt and digits comes with the release of Alt.

const char* sequenceOf(WORD virtualKey) {
    switch (virtualKey) {
        case VK_UP: return "\033[A";
        case VK_DOWN: return "\033[B";
        case VK_RIGHT: return "\033[C";
        case VK_LEFT: return "\033[D";
        case VK_HOME: return "\033[H";
        case VK_END: return "\033[F";
        case VK_INSERT: return "\033[2~";
        case VK_DELETE: return "\033[3~";
        case VK_PRIOR: return "\033[5~";
        case VK_NEXT: return "\033[6~";
        case VK_F1: return "\033OP";
        case VK_F2: return "\033OQ";
        case VK_F3: return "\033OR";
        case VK_F4: return "\033OS";
        case VK_F5: return "\033[15~";
        case VK_F6: return "\033[17~";
        case VK_F7: return "\033[18~";
        case VK_F8: return "\033[19~";
        case VK_F9: return "\033[20~";
        case VK_F10: return "\033[21~";
        case VK_F11: return "\033[23~";
        case VK_F12: return "\033[24~";
        default: return nullptr;
    }
}

// The Escape key as a terminal sends it when keys must not be mistaken for
// one another: at a console every key is its own event, and Escape then a
// letter is two keys, never Alt and the letter, however soon they follow.
constexpr char ESCAPE_KEY[] = "\033[27u";

// The UTF-16 units one event gives: empty for an event that is no key.
std::wstring unitsOf(const INPUT_RECORD& record) {
    if (record.EventType != KEY_EVENT) return {};
    const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
    const wchar_t unit = key.uChar.UnicodeChar;
    const bool altDigits = key.bKeyDown == 0 && key.wVirtualKeyCode == VK_MENU && unit != 0;
    if (key.bKeyDown == 0 && !altDigits) return {};
    const char* sequence = unit == 0x1B ? ESCAPE_KEY
                           : unit == 0  ? sequenceOf(key.wVirtualKeyCode)
                                        : nullptr;
    std::wstring once;
    if (sequence != nullptr) {
        once.assign(sequence, sequence + std::strlen(sequence));
    } else if (unit != 0) {
        once.assign(1, unit);
    }
    std::wstring units;
    const int repeats = key.wRepeatCount > 1 ? key.wRepeatCount : 1;
    for (int i = 0; i < repeats; ++i) units += once;
    return units;
}

// Appends a character's UTF-8 bytes; a surrogate pair split across two
// events is joined first, and a surrogate without its other half is dropped.
void appendUnit(wchar_t unit) {
    if (unit >= 0xD800 && unit <= 0xDBFF) {
        highSurrogate = unit;
        return;
    }
    wchar_t units[2] = {unit, 0};
    int count = 1;
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
        if (highSurrogate == 0) return;  // half a character is none
        units[0] = highSurrogate;
        units[1] = unit;
        count = 2;
    }
    highSurrogate = 0;
    char bytes[8];
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, units, count, bytes, sizeof bytes, nullptr, nullptr);
    if (size > 0) keys.append(bytes, static_cast<std::size_t>(size));
}

// Takes the events waiting, as many as one call gives, into keys: a paste is
// read in a few calls rather than one per event. With none waiting, waits for
// one. False when the console fails.
bool takeConsoleEvents() {
    INPUT_RECORD records[512];
    DWORD count = 0;
    if (ReadConsoleInputW(inputHandle(), records, 512, &count) == 0 || count == 0) return false;
    for (DWORD i = 0; i < count; ++i)
        for (const wchar_t unit : unitsOf(records[i])) appendUnit(unit);
    return true;
}

// Whether a key is waiting. Every event waiting is taken in, so that a wait on
// the console's handle, which any event signals, does not spin, and so that
// what gives no character yet (half a surrogate pair) is no key.
bool consoleKeyWaiting() {
    DWORD events = 0;
    while (keys.empty()) {
        if (GetNumberOfConsoleInputEvents(inputHandle(), &events) == 0)
            return true;  // the read will fail
        if (events == 0) return false;
        if (!takeConsoleEvents()) return true;
    }
    return true;
}

// Reads events until one gives a key; false when the console fails.
bool readConsoleKeys() {
    while (keys.empty())
        if (!takeConsoleEvents()) return false;
    return true;
}

// ---- Input from a pipe --------------------------------------------------------
// A pipe cannot be waited on, and not every pipe can be peeked at (Wine's pipes
// from a Unix shell cannot): a thread of ours reads it ahead, and an event
// tells the game that bytes, or the end, are there.

struct PipeReader {
    CRITICAL_SECTION lock;   // guards bytes and ended
    HANDLE ready = nullptr;  // manual reset: set while bytes wait or the pipe has ended
    std::string bytes;       // read, not yet taken
    bool ended = false;      // nothing more will come
};

PipeReader* pipeReader = nullptr;  // started at the first look at a pipe

// A read of nothing from a live pipe is a writer's write of nothing, not the
// end, which is a broken pipe. A pipe that cannot be peeked (Wine's from a Unix
// shell) is no Windows pipe, and there a read of nothing is the end of file.
bool pipeLive() { return PeekNamedPipe(inputHandle(), nullptr, 0, nullptr, nullptr, nullptr) != 0; }

unsigned __stdcall readPipe(void* /*unused*/) {
    for (;;) {
        char chunk[4096];
        DWORD count = 0;
        // A message longer than the chunk comes in parts, each but the last
        // reported as more data.
        const bool succeeded = ReadFile(inputHandle(), chunk, sizeof chunk, &count, nullptr) != 0 ||
                               GetLastError() == ERROR_MORE_DATA;
        if (succeeded && count == 0 && pipeLive()) continue;
        const bool read = succeeded && count > 0;
        EnterCriticalSection(&pipeReader->lock);
        if (read) {
            pipeReader->bytes.append(chunk, count);
        } else {
            pipeReader->ended = true;
        }
        SetEvent(pipeReader->ready);
        LeaveCriticalSection(&pipeReader->lock);
        if (!read) return 0;
    }
}

PipeReader& pipe() {
    if (pipeReader != nullptr) return *pipeReader;
    pipeReader = new PipeReader;  // lives as long as the thread that fills it
    InitializeCriticalSection(&pipeReader->lock);
    pipeReader->ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (pipeReader->ready == nullptr ||
        _beginthreadex(nullptr, 0, readPipe, nullptr, 0, nullptr) == 0)
        pipeReader->ended = true;  // no thread, no input: better than a game that hangs
    return *pipeReader;
}

bool pipeWaiting() {
    PipeReader& reader = pipe();
    EnterCriticalSection(&reader.lock);
    const bool waiting = !reader.bytes.empty() || reader.ended || reader.ready == nullptr;
    LeaveCriticalSection(&reader.lock);
    return waiting;
}

std::size_t readPipeAhead(char* buffer, std::size_t size) {
    PipeReader& reader = pipe();
    if (reader.ready != nullptr) WaitForSingleObject(reader.ready, INFINITE);
    EnterCriticalSection(&reader.lock);
    const std::size_t count = size < reader.bytes.size() ? size : reader.bytes.size();
    reader.bytes.copy(buffer, count);
    reader.bytes.erase(0, count);
    if (reader.bytes.empty() && !reader.ended) ResetEvent(reader.ready);
    LeaveCriticalSection(&reader.lock);
    return count;
}

bool inputWaiting() {
    if (inputEnded) return true;
    switch (inputSource()) {
        case Source::CONSOLE: return consoleKeyWaiting();
        case Source::PIPE: return pipeWaiting();
        case Source::FILE: return true;
    }
    return true;
}

// ---- Waiting ------------------------------------------------------------------

// Arms the pause timer for the deadline; false when there is no timer to arm.
bool armTimer(Clock::time_point deadline) {
    if (timer == nullptr) {
        timer = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                       TIMER_ALL_ACCESS);
        // Windows before 10 (1803) has no high-resolution timer.
        if (timer == nullptr) timer = CreateWaitableTimerW(nullptr, TRUE, nullptr);
    }
    // Negative due times are relative, in 100 ns units.
    const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now());
    LARGE_INTEGER due;
    due.QuadPart = left.count() > 100 ? -left.count() / 100 : -1;
    return timer != nullptr && SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE) != 0;
}

// Milliseconds to the deadline, rounded up: the fallback when no timer can be armed.
DWORD millisecondsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<DWORD>(left) : 0;
}

}  // namespace

// ---- Console mode -------------------------------------------------------------

void prepareConsole() {
    if (prepared) return;
    prepared = true;
    savedOutputCodePage = GetConsoleOutputCP();
    savedInputCodePage = GetConsoleCP();
    haveOutputMode = GetConsoleMode(outputHandle(), &savedOutputMode) != 0;
    haveInputMode = GetConsoleMode(inputHandle(), &savedInputMode) != 0;
    // The API does what "chcp 65001" does, without a shell or its message.
    SetConsoleOutputCP(CP_UTF8);
    SetConsoleCP(CP_UTF8);
    // Keys are read as events, so the console's own line editing and echo are
    // not wanted: with line input on, a console host takes Ctrl+S and Pause as
    // "hold output". Ctrl-C still reaches the handler below, not the keys.
    // VT input off too: a console left with it on by another program would send
    // an arrow as ESC, [ and A, three keys, not the key event read here.
    constexpr DWORD notWanted = ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | 0x0200;  // 0x0200: VT input
    if (haveInputMode)
        SetConsoleMode(inputHandle(), (savedInputMode | ENABLE_PROCESSED_INPUT) & ~notWanted);
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
    std::atexit(restoreAtExit);
}

void enableVirtualTerminal() {
    const HANDLE output = outputHandle();
    DWORD mode = 0;
    GetConsoleMode(output, &mode);
    // 0x0004: VT processing. 0x0008 (no return on a line feed) cleared: the game
    // ends its lines with a bare line feed, which must go back to the first column.
    SetConsoleMode(output, (mode | ENABLE_PROCESSED_OUTPUT | 0x0004) & ~DWORD{0x0008});
}

bool inputIsTerminal() { return inputSource() == Source::CONSOLE; }

// ---- The console under the game -----------------------------------------------

// A console program is never suspended. A resized console reflows its lines;
// the line editor sees the new size at the next key.
unsigned resumes() { return 0; }

WindowSize windowSize() {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(outputHandle(), &info) == 0) return {};
    // Lines wrap at the buffer's width; the window shows a part of its height.
    return {info.dwSize.X, info.srWindow.Bottom - info.srWindow.Top + 1};
}

// ---- Input --------------------------------------------------------------------

Wake waitInput(std::optional<Clock::time_point> deadline) {
    for (;;) {
        if (inputWaiting()) return Wake::INPUT;
        if (deadline && Clock::now() >= *deadline) return Wake::DEADLINE;
        HANDLE handles[2] = {inputSource() == Source::CONSOLE ? inputHandle() : pipe().ready,
                             nullptr};
        DWORD count = 1;
        DWORD milliseconds = INFINITE;
        if (deadline && armTimer(*deadline)) {
            handles[count++] = timer;
        } else if (deadline) {
            milliseconds = millisecondsUntil(*deadline);
        }
        WaitForMultipleObjects(count, handles, FALSE, milliseconds);
    }
}

std::size_t readInput(char* buffer, std::size_t size) {
    if (inputEnded) return 0;
    std::size_t count = 0;
    if (inputSource() == Source::CONSOLE) {
        if (readConsoleKeys()) {
            count = size < keys.size() ? size : keys.size();
            keys.copy(buffer, count);
            keys.erase(0, count);
        }
    } else if (inputSource() == Source::PIPE) {
        count = readPipeAhead(buffer, size);
    } else {
        DWORD read = 0;
        const DWORD wanted = size > 65536 ? 65536 : static_cast<DWORD>(size);
        if (ReadFile(inputHandle(), buffer, wanted, &read, nullptr) != 0) count = read;
    }
    inputEnded = count == 0;
    return count;
}

// ---- Output -------------------------------------------------------------------

// The kit hands over whole characters and escape sequences only: consoles that
// decode each write on its own (Wine's, Windows' before 10 version 1903) show
// them intact.
Written writeOutput(const char* data, std::size_t size) {
    return writeAll(data, size) ? Written::ALL : Written::CLOSED;
}

// The console's way out writes no line end of its own.
void noteMidLine(bool /*inLine*/) {}

// ---- Time and exit ------------------------------------------------------------

Clock::time_point now() { return Clock::now(); }

void sleepUntil(Clock::time_point deadline) {
    while (Clock::now() < deadline) {
        if (armTimer(deadline)) {
            WaitForSingleObject(timer, INFINITE);
        } else {
            Sleep(millisecondsUntil(deadline));
        }
    }
}

void quit(int code) {
    restoreAtExit();
    std::exit(code);
}

}  // namespace Game::Platform
