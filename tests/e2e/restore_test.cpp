// The terminal comes back as the player left it, however the game ends; and
// the game ends cleanly when its input or its output goes away.
#include <gtest/gtest.h>
#include <signal.h>  // NOLINT(modernize-deprecated-headers): POSIX sigaction and kill

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "e2e/pty_game.h"
#include "e2e/screen.h"

namespace {

Launch game() { return launchOf(HUANGLANG_BINARY); }

// Clock ticks of CPU time a process has used, user and system.
long cpuTicks(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string field;
    long ticks = 0;
    for (int index = 3; fields >> field && index <= 15; ++index)
        if (index >= 14) ticks += std::stol(field);
    return ticks;
}

#define EXPECT_MODE_RESTORED(play)                           \
    EXPECT_TRUE(sameMode((play).startMode(), (play).mode())) \
        << "before: " << describeMode((play).startMode())    \
        << "\nafter:  " << describeMode((play).mode())

TEST(KeyMode, IsOnWhileTheMenuWaits) {
    PtyGame play(game());
    ASSERT_TRUE(play.expect("》a"));
    ASSERT_TRUE(play.waitForMode(inKeyMode)) << describeMode(play.mode());
    const termios keys = play.mode();
    const termios start = play.startMode();
    EXPECT_EQ(keys.c_oflag, start.c_oflag);  // output processing untouched
    EXPECT_EQ(keys.c_iflag, start.c_iflag & ~tcflag_t{IXON | ICRNL});  // nothing else cleared
    EXPECT_EQ(keys.c_lflag, start.c_lflag & ~tcflag_t{ICANON | ECHO | ECHONL | IEXTEN});
    EXPECT_TRUE(leavesByChoiceC(play));
    EXPECT_MODE_RESTORED(play);
}

TEST(Restore, AfterEveryWayOut) {
    struct Way {
        const char* name;
        const char* keys;      // typed at the menu, or nullptr
        int signal;            // sent at the menu, or 0
        int killedWith;        // the signal the exit status names, or 0 for exit code 0
        bool stalled = false;  // the terminal has stopped reading
    };
    const Way ways[] = {
        {"choice C", "c\r", 0, 0},
        {"Ctrl-C", "\x03", 0, SIGINT},
        {"Ctrl-\\", "\x1c", 0, SIGQUIT},
        {"SIGTERM", nullptr, SIGTERM, SIGTERM},
        {"SIGTERM, output stalled", nullptr, SIGTERM, SIGTERM, true},
        {"SIGHUP", nullptr, SIGHUP, SIGHUP},
        {"SIGSEGV", nullptr, SIGSEGV, SIGSEGV},
        {"SIGABRT", nullptr, SIGABRT, SIGABRT},
        {"SIGBUS", nullptr, SIGBUS, SIGBUS},
        {"SIGFPE", nullptr, SIGFPE, SIGFPE},
        {"SIGILL", nullptr, SIGILL, SIGILL},
        {"SIGUSR1", nullptr, SIGUSR1, SIGUSR1},
        {"SIGXFSZ", nullptr, SIGXFSZ, SIGXFSZ},
        {"SIGALRM", nullptr, SIGALRM, SIGALRM},
#ifdef SIGRTMIN  // Linux's real-time signals; macOS has none
        {"a real-time signal", nullptr, SIGRTMIN + 3, SIGRTMIN + 3},
#endif
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        PtyGame play(game());
        ASSERT_TRUE(play.expect("》a"));
        ASSERT_TRUE(play.waitForMode(inKeyMode));
        if (way.stalled) play.stopReading();
        if (way.keys != nullptr) play.send(way.keys);
        if (way.signal != 0) play.signal(way.signal);
        const auto status = play.waitExit();
        if (way.killedWith != 0) {
            EXPECT_TRUE(killedBy(status, way.killedWith)) << (status ? *status : -1);
        } else {
            EXPECT_TRUE(exitedWith(status, 0));
        }
        EXPECT_MODE_RESTORED(play);
        EXPECT_TRUE(way.stalled || play.transcript().ends_with(wayOut(true)));
    }
}

// The character begun is finished before the reset: no broken one on screen.
TEST(Restore, CtrlCInAColouredPageLeavesTheTextPlain) {
    PtyGame play(game());
    ASSERT_TRUE(play.expect("》a"));
    play.send("b\r");
    ASSERT_TRUE(play.expect("（不输入则退出终端）："));
    play.send("level-0\r");
    ASSERT_TRUE(play.expect("\x1b[4m\xe7"));  // 生 of the heading, bold and underlined, begun
    play.send("\x03");
    EXPECT_TRUE(killedBy(play.waitExit(), SIGINT));
    EXPECT_MODE_RESTORED(play);
    const std::string& written = play.transcript();
    EXPECT_TRUE(written.ends_with("\x1b[4m生" + wayOut(true))) << visible(written);
    Screen screen;
    screen.feed(written);
    const Screen::Look pen = screen.pen();
    EXPECT_FALSE(pen.bold || pen.underline || pen.foreground != -1);
}

// A continue coming in while the game puts the mode back must not bring key
// mode back after it: 50 exits, by choice C and by SIGTERM, under a flood that
// lasts well past the restore.
TEST(Restore, AFloodOfContinuesDuringExitLeavesNoKeyMode) {
    // Under AddressSanitizer the leak check at exit stops the process and waits
    // for the stop, which a continue undoes: that check would wait for ever.
    const char* sanitizer = std::getenv("ASAN_OPTIONS");
    const std::string options = sanitizer != nullptr ? sanitizer : "";
    setenv("ASAN_OPTIONS", (options + ":detect_leaks=0").c_str(), 1);
    for (int run = 0; run < 50; ++run) {
        SCOPED_TRACE(run);
        PtyGame play(game());
        ASSERT_TRUE(play.expect("》a"));
        ASSERT_TRUE(play.waitForMode(inKeyMode));
        const auto until = std::chrono::steady_clock::now() + 200ms;
        std::thread flood([&] {
            while (std::chrono::steady_clock::now() < until) play.signal(SIGCONT);
        });
        if (run % 2 == 0) {
            play.send("c\r");
        } else {
            play.signal(SIGTERM);
        }
        flood.join();
        const auto status = play.waitExit();
        EXPECT_TRUE(run % 2 == 0 ? exitedWith(status, 0) : killedBy(status, SIGTERM))
            << (status ? *status : -1);
        EXPECT_MODE_RESTORED(play);
    }
    setenv("ASAN_OPTIONS", options.c_str(), 1);
}

TEST(Restore, ASignalIgnoredAtStartStaysIgnored) {
    Launch launch = game();
    launch.ignoredSignals = {SIGTERM};
    PtyGame play(launch);
    ASSERT_TRUE(play.expect("》a"));
    play.signal(SIGTERM);
    play.send("b");
    EXPECT_TRUE(play.expect("\bb")) << "the game died of an ignored signal";
    EXPECT_TRUE(leavesByChoiceC(play));
    EXPECT_MODE_RESTORED(play);
}

TEST(Suspend, CtrlZRestoresTheModeAndContinuingBringsKeyModeBack) {
    Launch launch = game();
    launch.asJob = true;
    PtyGame play(launch);
    ASSERT_TRUE(play.expect("》a"));
    ASSERT_TRUE(play.waitForMode(inKeyMode));

    play.send("\x1a");
    ASSERT_TRUE(play.waitStopped());
    EXPECT_MODE_RESTORED(play);

    play.resume();
    EXPECT_TRUE(play.waitForMode(inKeyMode)) << describeMode(play.mode());
    play.send("b");  // keys still work and are not echoed by the terminal
    ASSERT_TRUE(play.expect("\bb"));
    EXPECT_EQ(play.sinceMatch(), "");

    play.signal(SIGSTOP);  // stopped from outside: the game gets no say
    ASSERT_TRUE(play.waitStopped());
    play.setMode(play.startMode());  // the shell takes the terminal back in its own mode
    play.resume();
    EXPECT_TRUE(play.waitForMode(inKeyMode)) << describeMode(play.mode());

    EXPECT_TRUE(leavesByChoiceC(play));
    EXPECT_MODE_RESTORED(play);
}

// Ctrl-Z at a choice and at the explorer terminal's line, then fg: the choice
// and the line are drawn again below the shell's lines, and keys go on from there.
TEST(Suspend, ContinuingDrawsTheChoiceAndTheTypedLineAgain) {
    Launch launch = game();
    launch.asJob = true;
    PtyGame play(launch);
    ASSERT_TRUE(play.expect("》a"));
    play.signal(SIGCONT);  // continuing what never stopped draws nothing
    play.send("b");
    ASSERT_TRUE(play.expect("\bb"));
    EXPECT_NE(play.transcript().find("》a\bb"), std::string::npos) << visible(play.transcript());
    play.send("\x1a");
    ASSERT_TRUE(play.waitStopped());
    play.shellWrites("\n[1]+  Stopped    huanglang\n$ fg\nhuanglang\n");
    play.resume();
    ASSERT_TRUE(play.expect(asOnTerminal("\n》b")));
    play.send("\r");

    const std::string prompt = "请输入要查询的文档（不输入则退出终端）：";
    ASSERT_TRUE(play.expect(prompt));
    play.send("层级");
    ASSERT_TRUE(play.expect("层级"));
    play.signal(SIGSTOP);
    ASSERT_TRUE(play.waitStopped());
    play.shellWrites("\n[1]+  Stopped    huanglang\n$ fg\nhuanglang\n");
    play.setMode(play.startMode());
    play.resume();
    ASSERT_TRUE(play.expect(asOnTerminal("\n" + prompt + "层级")));
    Screen screen(40, 80);
    screen.feed(play.transcript());
    EXPECT_EQ(screen.row(screen.cursorRow()), prompt + "层级");
    EXPECT_EQ(screen.row(screen.cursorRow() - 2), "huanglang");  // below the shell's lines

    play.send("\x7f\x7flist\r");  // what the player sees is what is looked up
    EXPECT_TRUE(play.hurryTo("manila-room-document\r\nobject-1"));

    // Ctrl-Z in the middle of a bold heading: its character begun is finished,
    // the shell's lines are plain, and after fg the heading goes on bold.
    ASSERT_TRUE(play.expect(asOnTerminal("red-rooms\n")));
    ASSERT_TRUE(play.waitAsleep());
    play.send("x");
    ASSERT_TRUE(play.expect(prompt));
    play.send("level-0\r");
    ASSERT_TRUE(play.expect("\x1b[4m\xe7"));  // 生 begun, bold and underlined
    play.send("\x1a");
    ASSERT_TRUE(play.waitStopped());
    EXPECT_TRUE(play.transcript().ends_with("生\x1b[0m")) << visible(play.transcript());
    play.shellWrites("\n[1]+  Stopped    huanglang\n$ fg\nhuanglang\n");
    play.resume();
    ASSERT_TRUE(play.expect("存难度"));
    Screen styled(40, 80);
    styled.feed(play.transcript());
    int shell = styled.cursorRow();
    while (shell > 0 && styled.row(shell) != "huanglang") --shell;
    EXPECT_FALSE(styled.look(shell, 0).bold);
    EXPECT_TRUE(styled.look(shell + 1, 0).bold) << styled.row(shell + 1);
    play.signal(SIGTERM);
    EXPECT_TRUE(killedBy(play.waitExit(), SIGTERM));
    EXPECT_MODE_RESTORED(play);
}

// With SIGTTIN ignored, a read from the background fails: the game waits,
// without spinning, until fg brings it to the front; whether it was started as
// `huanglang &` or sent to the background later. A shell's fg continues only
// a stopped job: the game finds out by itself, takes single keys and shows
// its choice again. The mode it puts back is the one the shell hands over,
// not the one its line editor had while the game waited.
TEST(Background, AFailedReadWaitsForTheForeground) {
    Launch launch = game();
    launch.asJob = true;
    launch.inBackground = true;
    launch.shellLineEditing = true;
    launch.ignoredSignals = {SIGTTIN};
    PtyGame play(launch);
    ASSERT_TRUE(play.expect("》a"));
    play.send("b");
    const long before = cpuTicks(play.pid());
    EXPECT_FALSE(play.waitExit(1s).has_value()) << "the game ended on a read from the background";
    EXPECT_LT(cpuTicks(play.pid()) - before, 10) << "the game spun while it waited";

    play.resume();
    EXPECT_TRUE(play.waitForMode(inKeyMode)) << describeMode(play.mode());
    ASSERT_TRUE(play.expect(asOnTerminal("\n》a\bb")));
    Screen screen;
    screen.feed(play.transcript());
    EXPECT_EQ(screen.row(screen.cursorRow()), "》b");

    // Sent to the background at a "press any key", it waits there the same way.
    play.send("a\r");
    ASSERT_TRUE(play.expect("\x1b[2J\x1b[0;0H“"));
    ASSERT_TRUE(play.hurryTo(asOnTerminal("按下任意键继续……\n\n")));
    ASSERT_TRUE(play.waitAsleep());
    play.send("\x1a");
    ASSERT_TRUE(play.waitStopped());
    play.resumeInBackground();
    const long waiting = cpuTicks(play.pid());
    EXPECT_FALSE(play.waitExit(1s).has_value()) << "the game ended on a read from the background";
    EXPECT_LT(cpuTicks(play.pid()) - waiting, 10) << "the game spun while it waited";
    play.resume();
    ASSERT_TRUE(play.expect(asOnTerminal("\n按下任意键继续……\n\n")));  // the prompt again
    play.send("x");
    ASSERT_TRUE(play.hurryTo("》a"));  // Level 0; then the short way to the end
    play.send("a\r");
    ASSERT_TRUE(play.hurryTo("》a"));
    play.send("b\r");
    ASSERT_TRUE(play.hurryTo("按下任意键继续……"));
    ASSERT_TRUE(play.waitAsleep());
    play.send("x");
    ASSERT_TRUE(play.expect("剩余体力：395"));
    play.send("x");
    EXPECT_TRUE(exitedWith(play.waitExit(), 0));
    EXPECT_MODE_RESTORED(play);
}

// Stopped for a read from the background (Enter at the shell), fg draws the choice at once.
TEST(Background, FgAfterAStopForReadingDrawsAtOnce) {
    Launch launch = game();
    launch.asJob = launch.inBackground = launch.shellLineEditing = true;
    PtyGame play(launch);
    ASSERT_TRUE(play.expect("》a"));
    play.send("\r");
    ASSERT_TRUE(play.waitHalted());
    play.shellReads();
    play.resume();  // the shell hands over the terminal, then finds the job stopped
    ASSERT_TRUE(play.waitStopped());
    play.resume();
    EXPECT_TRUE(play.expect(asOnTerminal("\n》a"), 2s));
    EXPECT_TRUE(leavesByChoiceC(play));
    EXPECT_MODE_RESTORED(play);
}

TEST(ClosedInput, EndsTheGameAtOnceWithCodeZero) {
    Launch launch = game();
    launch.pipedInput = true;
    PtyGame play(launch);
    ASSERT_TRUE(play.expect("》a"));
    play.send("b");
    play.closeInput();
    EXPECT_TRUE(exitedWith(play.waitExit(2s), 0));
    EXPECT_EQ(play.sinceMatch(), "\bb" + wayOut(true));
    EXPECT_MODE_RESTORED(play);
}

TEST(ClosedInput, NoInputAtAllEndsTheGameAtTheFirstKey) {
    Launch launch = game();
    launch.noInput = true;
    PtyGame play(launch);
    ASSERT_TRUE(play.expect("》a"));
    EXPECT_TRUE(exitedWith(play.waitExit(2s), 0));
    EXPECT_EQ(play.sinceMatch(), wayOut(true));
}

TEST(ClosedInput, AClosedTerminalEndsTheGameWithoutSpinning) {
    Launch launch = game();
    launch.ignoredSignals = {SIGHUP};  // so the game meets the hang-up as failed reads
    PtyGame play(launch);
    ASSERT_TRUE(play.expect("》a"));
    play.hangUp();
    EXPECT_TRUE(exitedWith(play.waitExit(2s), 0));
}

// A full disk is no success; the game prints no message about it.
TEST(ClosedOutput, AFullDiskEndsTheGameWithAFailureStatus) {
    Launch launch = game();
    launch.outputFile = "/dev/full";
    PtyGame play(launch);
    EXPECT_TRUE(exitedWith(play.waitExit(2s), 1));
    EXPECT_EQ(play.transcript(), "");
}

TEST(ClosedOutput, EndsTheGameQuietlyWithCodeZero) {
    Launch launch = game();
    launch.pipedOutput = true;
    PtyGame play(launch);
    ASSERT_TRUE(play.expect("》a"));
    play.closeOutput();
    play.send("b");  // its echo meets a closed pipe
    EXPECT_TRUE(exitedWith(play.waitExit(2s), 0));
    EXPECT_MODE_RESTORED(play);
}

}  // namespace
