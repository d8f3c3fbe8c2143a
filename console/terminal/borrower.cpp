#include "console/terminal/borrower.h"

#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <ctime>

#include "console/terminal/terminal_session.h"

namespace terminal {
namespace {

constexpr long long kGraceMs = 2000;      // for the program to end by the signal, before SIGKILL
constexpr long long kStragglersMs = 500;  // for the rest of its group, once it has gone
constexpr long kPollNs = 5'000'000;

// The process group of the program on the terminal, and the terminal whose foreground it holds.
volatile std::sig_atomic_t borrowerGroup = 0;
volatile std::sig_atomic_t borrowerTerminal = -1;

long long monotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000LL + now.tv_nsec / 1'000'000;
}

// The terminal to share by its foreground: the game's input, if it is the game's controlling
// terminal and the game holds its foreground; -1 when there is no such terminal.
int jobTerminal() {
    return isatty(STDIN_FILENO) && tcgetpgrp(STDIN_FILENO) == getpgrp() ? STDIN_FILENO : -1;
}

// Gives the foreground of `terminal` to `group`. Signals are blocked meanwhile, SIGTTOU among
// them, which a process outside the foreground would otherwise be stopped by.
void giveForeground(int terminal, pid_t group) {
    if (terminal < 0) return;
    sigset_t all, previous;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, &previous);
    tcsetpgrp(terminal, group);
    sigprocmask(SIG_SETMASK, &previous, nullptr);
}

// In the child, between fork and exec: only async-signal-safe calls. The program starts with the
// signal dispositions the game was started with, in a process group of its own, in the
// foreground of the terminal.
[[noreturn]] void becomeBorrower(int terminal, const sigset_t& ignored, const sigset_t& mask,
                                 const char* path, char* const* argv) {
    setpgid(0, 0);
    if (terminal >= 0) tcsetpgrp(terminal, getpid());  // SIGTTOU is still blocked here
    struct sigaction initial {};
    for (int signal = 1; signal < NSIG; ++signal) {
        if (signal == SIGKILL || signal == SIGSTOP) continue;
        initial.sa_handler = sigismember(&ignored, signal) == 1 ? SIG_IGN : SIG_DFL;
        sigaction(signal, &initial, nullptr);
    }
    sigprocmask(SIG_SETMASK, &mask, nullptr);
    execv(path, argv);
    _exit(127);
}

// The program stopped by itself (Ctrl-Z in it, or a signal) while the game waited: to the shell
// they are one job, so the game stops too, with the terminal as the shell left it. When the game
// was continued in the foreground, so is the program, in the terminal modes it had.
void stopWithBorrower(pid_t group, int terminal, bool gameStoppedMeanwhile) {
    termios modes{};
    const bool haveModes = terminal >= 0 && tcgetattr(terminal, &modes) == 0;
    if (!gameStoppedMeanwhile) {
        giveForeground(terminal, getpgrp());
        restoreOriginalModes();
        std::raise(SIGTSTP);  // returns once continued (at once where nothing could resume it)
    }
    waitForForeground();
    if (haveModes) tcsetattr(terminal, TCSANOW, &modes);
    giveForeground(terminal, group);
    kill(-group, SIGCONT);
}

void waitForBorrower(pid_t child, int terminal) {
    int stops = stopCount();
    for (;;) {
        int status = 0;
        if (waitpid(child, &status, WUNTRACED) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (!WIFSTOPPED(status)) return;
        stopWithBorrower(child, terminal, stopCount() != stops);
        stops = stopCount();
    }
}

}  // namespace

void runBorrower(const std::string& path, const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& word : arguments) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    sigset_t ignored;
    sigemptyset(&ignored);
    for (int signal = 1; signal < NSIG; ++signal) {
        if (ignoredAtStart(signal)) sigaddset(&ignored, signal);
    }
    const int terminal = jobTerminal();

    // No signal may find the program started but not yet known as the one to end with the game.
    sigset_t all, previous;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, &previous);
    const pid_t child = fork();
    if (child == 0) becomeBorrower(terminal, ignored, previous, path.c_str(), argv.data());
    if (child > 0) {
        setpgid(child, child);  // as the child does: whichever comes first
        if (terminal >= 0) tcsetpgrp(terminal, child);
        borrowerTerminal = terminal;
        borrowerGroup = child;
    }
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    if (child <= 0) return;

    waitForBorrower(child, terminal);

    sigprocmask(SIG_BLOCK, &all, &previous);
    borrowerGroup = 0;
    if (terminal >= 0) tcsetpgrp(terminal, getpgrp());
    sigprocmask(SIG_SETMASK, &previous, nullptr);
}

bool endBorrower(int signal) {
    const pid_t group = borrowerGroup;
    if (group <= 0) return false;
    borrowerGroup = 0;
    const int savedErrno = errno;
    kill(-group, signal);
    kill(-group, SIGCONT);  // a stopped program acts on the signal only once it runs

    // The program gets a grace period to end by the signal (an editor saves its work), and is
    // killed after it. The rest of its group had the signal too: a moment more for it to go.
    const long long start = monotonicMs();
    long long leaderGoneMs = -1;  // when the program itself was gone
    for (;;) {
        const long long now = monotonicMs();
        if (leaderGoneMs < 0 && waitpid(group, nullptr, WNOHANG) != 0) leaderGoneMs = now;
        if (leaderGoneMs < 0 && now - start >= kGraceMs) {
            kill(-group, SIGKILL);
            while (waitpid(group, nullptr, 0) < 0 && errno == EINTR) {
            }
            leaderGoneMs = now;
        }
        if (leaderGoneMs >= 0 && (kill(-group, 0) != 0 || now - leaderGoneMs >= kStragglersMs))
            break;
        const timespec pause{0, kPollNs};
        nanosleep(&pause, nullptr);
    }
    const int terminal = borrowerTerminal;
    if (terminal >= 0) tcsetpgrp(terminal, getpgrp());
    errno = savedErrno;
    return true;
}

}  // namespace terminal
