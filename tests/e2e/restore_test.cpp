// The terminal comes back as the player left it, however the game ends; and
// the game ends cleanly when its input or its output goes away.
#include <gtest/gtest.h>
#include <signal.h>  // NOLINT(modernize-deprecated-headers): POSIX sigaction and kill

#include "e2e/pty_game.h"

namespace {

Launch game() { return launchOf(HUANGLANG_BINARY); }

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
    EXPECT_EQ(keys.c_oflag, start.c_oflag);                    // output processing untouched
    EXPECT_EQ(keys.c_iflag, start.c_iflag & ~tcflag_t{IXON});  // nothing else cleared
    EXPECT_EQ(keys.c_lflag, start.c_lflag & ~tcflag_t{ICANON | ECHO | ECHONL | IEXTEN});
    EXPECT_TRUE(leavesByChoiceC(play));
    EXPECT_MODE_RESTORED(play);
}

TEST(Restore, AfterEveryWayOut) {
    struct Way {
        const char* name;
        const char* keys;  // typed at the menu, or nullptr
        int signal;        // sent at the menu, or 0
        int killedWith;    // the signal the exit status names, or 0 for exit code 0
    };
    const Way ways[] = {
        {"choice C", "c\r", 0, 0},
        {"Ctrl-C", "\x03", 0, SIGINT},
        {"Ctrl-\\", "\x1c", 0, SIGQUIT},
        {"SIGTERM", nullptr, SIGTERM, SIGTERM},
        {"SIGHUP", nullptr, SIGHUP, SIGHUP},
        {"SIGSEGV", nullptr, SIGSEGV, SIGSEGV},
        {"SIGABRT", nullptr, SIGABRT, SIGABRT},
        {"SIGBUS", nullptr, SIGBUS, SIGBUS},
        {"SIGFPE", nullptr, SIGFPE, SIGFPE},
        {"SIGILL", nullptr, SIGILL, SIGILL},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        PtyGame play(game());
        ASSERT_TRUE(play.expect("》a"));
        ASSERT_TRUE(play.waitForMode(inKeyMode));
        if (way.keys != nullptr) play.send(way.keys);
        if (way.signal != 0) play.signal(way.signal);
        const auto status = play.waitExit();
        if (way.killedWith != 0) {
            EXPECT_TRUE(killedBy(status, way.killedWith)) << (status ? *status : -1);
        } else {
            EXPECT_TRUE(exitedWith(status, 0));
        }
        EXPECT_MODE_RESTORED(play);
    }
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

TEST(ClosedInput, EndsTheGameAtOnceWithCodeZero) {
    Launch launch = game();
    launch.pipedInput = true;
    PtyGame play(launch);
    ASSERT_TRUE(play.expect("》a"));
    play.send("b");
    play.closeInput();
    EXPECT_TRUE(exitedWith(play.waitExit(2s), 0));
    EXPECT_EQ(play.sinceMatch(), "\bb");
    EXPECT_MODE_RESTORED(play);
}

TEST(ClosedInput, NoInputAtAllEndsTheGameAtTheFirstKey) {
    Launch launch = game();
    launch.noInput = true;
    PtyGame play(launch);
    ASSERT_TRUE(play.expect("》a"));
    EXPECT_TRUE(exitedWith(play.waitExit(2s), 0));
    EXPECT_EQ(play.sinceMatch(), "");
}

TEST(ClosedInput, AClosedTerminalEndsTheGameWithoutSpinning) {
    Launch launch = game();
    launch.ignoredSignals = {SIGHUP};  // so the game meets the hang-up as failed reads
    PtyGame play(launch);
    ASSERT_TRUE(play.expect("》a"));
    play.hangUp();
    EXPECT_TRUE(exitedWith(play.waitExit(2s), 0));
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
