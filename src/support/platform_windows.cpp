// The Windows console: UTF-8 code page, VT processing, _getwch and _kbhit for
// keys, and a high-resolution waitable timer for the pauses.
//
// A plain Sleep(20) lasts one or two 15.6 ms ticks of the default timer, which
// would make pacing uneven; the waitable timer sleeps to the deadline instead.
#include <conio.h>
#include <windows.h>

#include <cstdlib>

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
HANDLE timer = nullptr;       // for pauses; created on first use
bool inputEnded = false;      // standard input has ended; it stays so

HANDLE inputHandle() { return GetStdHandle(STD_INPUT_HANDLE); }
HANDLE outputHandle() { return GetStdHandle(STD_OUTPUT_HANDLE); }

// Bytes of a key already converted to UTF-8 but not yet handed out.
char pendingKey[8];
std::size_t pendingCount = 0;

// Ctrl-C, Ctrl-Break and a closed window: the text attributes reset and the
// console restored, then Windows ends us.
BOOL WINAPI onConsoleEvent(DWORD /*event*/) {
    static constexpr char reset[] = "\033[0m";
    DWORD written = 0;
    if (haveOutputMode) WriteFile(outputHandle(), reset, sizeof reset - 1, &written, nullptr);
    restoreConsole();
    return FALSE;
}

void restoreAtExit() { restoreConsole(); }

// One console key as UTF-8 bytes; extended keys as the two bytes _getch gives.
std::size_t readConsoleKey(char* out) {
    const wint_t first = _getwch();
    if (first == 0 || first == 0xE0) {
        out[0] = static_cast<char>(first);
        out[1] = static_cast<char>(_getwch());
        return 2;
    }
    wchar_t units[2] = {static_cast<wchar_t>(first), 0};
    int unitCount = 1;
    if (first >= 0xD800 && first <= 0xDBFF) {
        units[1] = static_cast<wchar_t>(_getwch());
        unitCount = 2;
    }
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, units, unitCount, out, 4, nullptr, nullptr);
    return bytes > 0 ? static_cast<std::size_t>(bytes) : 0;
}

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

}  // namespace

// ---- Console mode -------------------------------------------------------------

void prepareConsole() {
    if (prepared) return;
    prepared = true;
    savedOutputCodePage = GetConsoleOutputCP();
    savedInputCodePage = GetConsoleCP();
    haveOutputMode = GetConsoleMode(outputHandle(), &savedOutputMode) != 0;
    // The API does what "chcp 65001" does, without a shell or its message.
    SetConsoleOutputCP(CP_UTF8);
    SetConsoleCP(CP_UTF8);
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
    std::atexit(restoreAtExit);
}

void restoreConsole() {
    if (!prepared) return;
    prepared = false;
    if (savedOutputCodePage != 0) SetConsoleOutputCP(savedOutputCodePage);
    if (savedInputCodePage != 0) SetConsoleCP(savedInputCodePage);
    if (haveOutputMode) SetConsoleMode(outputHandle(), savedOutputMode);
}

void enableVirtualTerminal() {
    const HANDLE output = outputHandle();
    DWORD mode = 0;
    GetConsoleMode(output, &mode);
    SetConsoleMode(output, mode | ENABLE_PROCESSED_OUTPUT | 0x0004);  // 0x0004: VT processing
}

bool inputIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(inputHandle(), &mode) != 0;
}

// ---- The console under the game -----------------------------------------------

// A console program is never suspended, and a resized console reflows its own
// lines: the line editor measures the width once, when a line starts.
unsigned resumes() { return 0; }

unsigned resizes() { return 0; }

int columns() {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(outputHandle(), &info) == 0) return 0;
    return info.dwSize.X;
}

// ---- Input --------------------------------------------------------------------

bool inputReady() {
    if (pendingCount > 0 || inputEnded) return true;
    const HANDLE input = inputHandle();
    if (inputIsTerminal()) return _kbhit() != 0;
    if (GetFileType(input) != FILE_TYPE_PIPE) return true;  // a file never blocks
    DWORD available = 0;
    if (PeekNamedPipe(input, nullptr, 0, nullptr, &available, nullptr) == 0) return true;
    return available > 0;
}

// A console signals its input handle for every event, key releases, Shift and
// focus changes too. When none of the waiting events is a key _getwch would
// return, one is taken out of the way, so the wait does not spin on it.
bool waitInputUntil(Clock::time_point deadline) {
    if (inputReady()) return true;
    const HANDLE input = inputHandle();
    if (!inputIsTerminal() || !armTimer(deadline)) {
        sleepUntil(deadline);
        return inputReady();
    }
    const HANDLE both[2] = {input, timer};
    while (WaitForMultipleObjects(2, both, FALSE, INFINITE) == WAIT_OBJECT_0) {
        if (_kbhit() != 0) return true;
        INPUT_RECORD record;
        DWORD count = 0;
        ReadConsoleInputW(input, &record, 1, &count);
    }
    return inputReady();
}

bool waitInput() {
    while (!waitInputUntil(Clock::now() + std::chrono::hours(24))) {
    }
    return true;
}

std::size_t readInput(char* buffer, std::size_t size) {
    if (inputIsTerminal() && pendingCount == 0) pendingCount = readConsoleKey(pendingKey);
    if (pendingCount > 0) {
        const std::size_t count = pendingCount < size ? pendingCount : size;
        for (std::size_t i = 0; i < count; ++i) buffer[i] = pendingKey[i];
        for (std::size_t i = count; i < pendingCount; ++i) pendingKey[i - count] = pendingKey[i];
        pendingCount -= count;
        return count;
    }
    DWORD count = 0;
    const DWORD wanted = size > 65536 ? 65536 : static_cast<DWORD>(size);
    if (inputEnded || ReadFile(inputHandle(), buffer, wanted, &count, nullptr) == 0 || count == 0) {
        inputEnded = true;
        return 0;
    }
    return count;
}

// ---- Output -------------------------------------------------------------------

bool writeOutput(const char* data, std::size_t size) {
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

// ---- Time and exit ------------------------------------------------------------

Clock::time_point now() { return Clock::now(); }

void sleepUntil(Clock::time_point deadline) {
    while (Clock::now() < deadline) {
        if (armTimer(deadline)) {
            WaitForSingleObject(timer, INFINITE);
        } else {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            Sleep(static_cast<DWORD>(left.count() + 1));
        }
    }
}

void quit(int code) {
    restoreConsole();
    std::exit(code);
}

}  // namespace Game::Platform
