#include "console/terminal/terminal_session.h"

#include <fcntl.h>
#include <langinfo.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iterator>
#include <string>
#include <vector>

#include "console/shadow_console.h"
#include "console/terminal/borrower.h"
#include "console/terminal/curses.h"
#include "console/terminal/key_decoder.h"
#include "console/terminal/presenter.h"
#include "console/terminal/terminal_type.h"
#include "console/terminal/x_keyboard.h"

// Where stderr goes while the game has the terminal: nowhere, unless the build names a log file
// (the sanitizer build does, so that a report made during play is kept).
#ifndef GLYPH_STDERR_LOG
#define GLYPH_STDERR_LOG "/dev/null"
#endif

namespace terminal {
namespace {

constexpr int kIn = STDIN_FILENO;
constexpr int kOut = STDOUT_FILENO;

// The keyboard protocol: ask for its flags with the device attributes query as a sentinel that
// every terminal answers; push disambiguation (1), event types (2) and all keys as escape codes
// (8, so Enter reports its release too), and ask again which flags took; pop on the way out.
constexpr char kKeyboardQuery[] = "\x1b[?u\x1b[c";
constexpr char kKeyboardPush[] = "\x1b[>11u";
constexpr char kKeyboardPushAndAsk[] = "\x1b[>11u\x1b[?u";
constexpr char kKeyboardPop[] = "\x1b[<u";
constexpr int kFlagEventTypes = 2;
constexpr int kFlagAllKeysAsEscapes = 8;
// Key-down and key-up records where the terminal knows them (Windows Terminal), and focus
// reports: switched on whatever the terminal, which ignores modes it does not know.
constexpr char kReportsOn[] = "\x1b[?9001h\x1b[?1004h";
constexpr char kReportsOff[] = "\x1b[?9001l\x1b[?1004l";
// CAN ends an escape sequence in progress: a frame cut short on a stalled line (the game ended by
// a signal, or its last frame given up on at exit) may have left the terminal inside one, where
// the bytes that give the terminal back would be taken as the rest of it. Outside a sequence the
// terminal ignores it.
constexpr char kCancelSequence[] = "\x18";

// The bytes after a CAN. Appended rather than added with +, which g++ 12 at -O2 mistakes for an
// overlapping copy.
std::string cancelThen(const std::string& bytes) {
    std::string cancelled = kCancelSequence;
    cancelled += bytes;
    return cancelled;
}

// The device attributes query, whose answer marks the end of what the terminal sent before it.
constexpr char kAttributesQuery[] = "\x1b[c";
// How long leaving waits for that answer; what comes later may reach the shell.
constexpr int kAnswerWaitMs = 200;
// A key held by the X server's word alone counts as released when no look came for this long.
constexpr long long kViewPatienceMs = 120;
constexpr int kForegroundCheckMs = 200;  // in the background, how often to look whether it is over
constexpr int kUndrivableTerminal = 1;   // the exit status when the terminal cannot be driven

// What signal handlers may touch: flags and byte strings prepared in advance.
struct SignalSafe {
    volatile std::sig_atomic_t active = 0;  // the game owns the terminal
    volatile std::sig_atomic_t resized = 0;
    volatile std::sig_atomic_t continued = 0;
    volatile std::sig_atomic_t suspended = 0;
    volatile std::sig_atomic_t retake = 0;  // stopped and continued: take the terminal back
    volatile std::sig_atomic_t stops = 0;   // how often the game has been stopped
    termios original{};
    termios game{};
    bool haveOriginal = false;
    int savedStderr = -1;  // where stderr went before the game took the terminal
    int nullStderr = -1;   // where it goes while the game has the terminal
    // Written on the way out (keyboard flags popped, then the reset below), on the way back in
    // after a suspension, and after a program that borrowed the terminal was ended with the game
    // (attributes reset, cursor shown, alternate screen left, or cleared where there is none).
    char leaveBytes[256] = {};
    volatile std::sig_atomic_t leaveLength = 0;
    char enterBytes[256] = {};
    volatile std::sig_atomic_t enterLength = 0;
    char resetBytes[256] = {};
    volatile std::sig_atomic_t resetLength = 0;
    volatile std::sig_atomic_t enterAsks = 0;  // the way in asks for the keyboard flags again
    bool readsTerminal = false;                // input is the terminal: its answers can be awaited
    int inputFd = STDIN_FILENO;                // where they are read
    // Device attributes queries sent and not yet answered.
    volatile std::sig_atomic_t unansweredQueries = 0;
};
SignalSafe safe;

struct Session {
    bool started = false;
    bool curses = false;
    bool unicode = false;
    bool sixteenColours = false;
    bool inputOpen = true;
    bool inputIsTerminal = false;  // read at start: a hung-up terminal no longer says it is one
    int inputFd = kIn;             // where input is read: a non-blocking description of our own
    bool alternateScreen = false;  // the terminal has one, and the game draws on it
    sigset_t ignoredAtStart{};     // signals the game was started with set to be ignored
    // The keyboard protocol: known once the terminal answered the flags query (its flags are
    // then pushed whenever the terminal is ours), refused when the device attributes came first.
    bool keyboardSupported = false;
    bool keyboardRefused = false;
    bool arrowReleases = false;  // the terminal reports the arrows' releases
    bool viewed = false;         // the X server's word on the keys is in use
    bool watching = false;       // and asked for, since watchedSinceMs
    long long watchedSinceMs = 0;
    long long lastViewMs = 0;
    KeyDecoder decoder;
    std::vector<InputEvent> events;
};
Session session;

void writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

void writeString(const char* text) {
    writeAll(kOut, text, std::strlen(text));
}

// ---- Leaving, also from signal handlers: write(), read(), poll(), clock_gettime(), tcflush(),
// tcsetattr() and dup2() only.

long long signalSafeNowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

// Asks for the device attributes and reads, throwing it away, what the terminal sends until it
// has answered that query and every earlier one still open, or the wait is over; then throws
// away whatever else is pending. Release reports of the keys that ended the game and late
// answers to queries then never reach the shell or the editor. The terminal must still be in the
// game's modes: with echo back on, the answers would be printed.
void swallowTerminalAnswers() {
    if (!safe.readsTerminal) return;
    writeAll(kOut, kAttributesQuery, sizeof kAttributesQuery - 1);
    int answers = safe.unansweredQueries + 1;
    const long long deadline = signalSafeNowMs() + kAnswerWaitMs;
    int matched = 0;  // how much of an answer, ESC [ ? digits-and-semicolons c, has been read
    while (answers > 0) {
        const long long left = deadline - signalSafeNowMs();
        if (left <= 0) break;
        pollfd input{safe.inputFd, POLLIN, 0};
        const int ready = poll(&input, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) break;
        unsigned char buffer[512];
        const ssize_t count = read(safe.inputFd, buffer, sizeof buffer);
        if (count < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (count <= 0) break;
        for (ssize_t i = 0; i < count; ++i) {
            const unsigned char byte = buffer[i];
            if (matched == 3 && ((byte >= '0' && byte <= '9') || byte == ';')) continue;
            if (matched == 3 && byte == 'c') {
                --answers;
                matched = 0;
            } else if (byte == 0x1B) {
                matched = 1;
            } else {
                matched = (matched == 1 && byte == '[') ? 2 : (matched == 2 && byte == '?') ? 3 : 0;
            }
        }
    }
    safe.unansweredQueries = 0;
    tcflush(safe.inputFd, TCIFLUSH);
}

// Puts the terminal back as the game found it: from the game's modes, or after a program that
// borrowed it was ended.
void restoreForSignal(bool afterBorrower) {
    if (safe.active) {
        safe.active = 0;
        writeAll(kOut, safe.leaveBytes, static_cast<std::size_t>(safe.leaveLength));
        swallowTerminalAnswers();
    } else if (afterBorrower) {
        writeAll(kOut, safe.resetBytes, static_cast<std::size_t>(safe.resetLength));
    } else {
        return;  // stopped, or not started: the terminal is the shell's
    }
    if (safe.haveOriginal) tcsetattr(kOut, TCSANOW, &safe.original);
    if (safe.savedStderr >= 0) dup2(safe.savedStderr, STDERR_FILENO);
}

void onEndingSignal(int signal) {
    // A program on the terminal goes first, so that nothing of it is left running or drawing.
    const bool borrowed = endBorrower(signal);
    restoreForSignal(borrowed);
    // Die of the same signal, so the parent sees how the program ended: the signal is blocked
    // while this handler runs and is delivered again, with its default action, on return.
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// Ctrl-Z (SIGTSTP), or a read or a mode change tried from the background (SIGTTIN, SIGTTOU):
// the terminal goes back to the shell and the game stops. Once continued, the main flow takes the
// terminal back, but only in the foreground (retakeAfterStop).
void onSuspend(int signal) {
    const int savedErrno = errno;
    const bool wasActive = safe.active;
    restoreForSignal(false);
    safe.suspended = 1;
    safe.stops = safe.stops + 1;

    // Stop for real, with the default action, until SIGCONT.
    struct sigaction ours {};
    struct sigaction stop {};
    stop.sa_handler = SIG_DFL;
    sigaction(signal, &stop, &ours);
    sigset_t just;
    sigemptyset(&just);
    sigaddset(&just, signal);
    sigprocmask(SIG_UNBLOCK, &just, nullptr);
    std::raise(signal);

    sigaction(signal, &ours, nullptr);
    safe.suspended = 0;
    if (wasActive) safe.retake = 1;
    errno = savedErrno;
}

void onContinue(int) {
    // After a stop the handler above did not see (SIGSTOP), the shell may have changed the
    // terminal's modes and written over the screen.
    if (safe.suspended || !safe.active) return;
    safe.retake = 1;
}

void onResize(int) {
    safe.resized = 1;
}

// Every signal whose default action ends the process; SIGKILL cannot be caught.
constexpr int kEndingSignals[] = {
    SIGHUP,    SIGINT,  SIGQUIT, SIGILL,  SIGTRAP, SIGABRT, SIGBUS,    SIGFPE,  SIGUSR1, SIGSEGV,
    SIGUSR2,   SIGPIPE, SIGALRM, SIGTERM, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGSYS,
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
#ifdef SIGPOLL
    SIGPOLL,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
};

// A signal the game was started with ignored (nohup, `trap '' HUP`) is left ignored.
void handle(int signal, void (*handler)(int), int flags) {
    if (sigismember(&session.ignoredAtStart, signal) == 1) return;
    struct sigaction action {};
    sigfillset(&action.sa_mask);
    action.sa_handler = handler;
    action.sa_flags = flags;
    sigaction(signal, &action, nullptr);
}

void noteIgnoredSignals() {
    sigemptyset(&session.ignoredAtStart);
    for (int signal = 1; signal < NSIG; ++signal) {
        struct sigaction found {};
        if (sigaction(signal, nullptr, &found) == 0 && found.sa_handler == SIG_IGN)
            sigaddset(&session.ignoredAtStart, signal);
    }
}

void installHandlers() {
    for (const int signal : kEndingSignals) handle(signal, onEndingSignal, 0);
    for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) handle(signal, onEndingSignal, 0);
    for (const int signal : {SIGTSTP, SIGTTIN, SIGTTOU}) handle(signal, onSuspend, SA_RESTART);
    handle(SIGCONT, onContinue, SA_RESTART);
    handle(SIGWINCH, onResize, SA_RESTART);
}

// ---- The byte strings for leaving and re-entering, from the terminal's own description.

void appendCapability(std::string& bytes, const char* name) {
    const char* value = tigetstr(const_cast<char*>(name));
    if (value != nullptr && value != reinterpret_cast<char*>(-1)) bytes += value;
}

void storeBytes(const std::string& bytes, char (&buffer)[256], volatile std::sig_atomic_t& length) {
    // Handlers read the length first: hide the string while it is being replaced.
    length = 0;
    const std::size_t size = std::min(bytes.size(), sizeof buffer);
    std::memcpy(buffer, bytes.data(), size);
    length = static_cast<std::sig_atomic_t>(size);
}

bool hasCapability(const char* name) {
    const char* value = tigetstr(const_cast<char*>(name));
    return value != nullptr && value != reinterpret_cast<char*>(-1);
}

// What the terminal must be told on every way in, after the screen modes: the key reports on,
// and the keyboard flags pushed where the terminal knows them, or asked for again while it is
// not known whether it does (an answer thrown away with the input still counts when it comes).
std::string keyboardWayIn(bool& asks) {
    asks = false;
    if (!safe.readsTerminal) return "";
    std::string bytes = kReportsOn;
    asks = !session.keyboardSupported && !session.keyboardRefused && safe.readsTerminal;
    if (session.keyboardSupported) bytes += kKeyboardPush;
    if (asks) bytes += kKeyboardQuery;
    return bytes;
}

std::string keyboardWayOut() {
    if (!safe.readsTerminal) return "";
    std::string bytes = session.keyboardSupported ? kKeyboardPop : "";
    return bytes + kReportsOff;
}

void prepareRestoreBytes() {
    // Without an alternate screen the game's picture would stay behind on the shell's.
    std::string reset;
    appendCapability(reset, "sgr0");
    appendCapability(reset, "cnorm");
    appendCapability(reset, session.alternateScreen ? "rmcup" : "clear");
    storeBytes(cancelThen(reset), safe.resetBytes, safe.resetLength);

    // The flags belong to the alternate screen: popped before it is left.
    storeBytes(cancelThen(keyboardWayOut() + reset), safe.leaveBytes, safe.leaveLength);

    std::string enter;
    appendCapability(enter, "smcup");
    appendCapability(enter, "civis");
    bool asks = false;
    enter += keyboardWayIn(asks);
    safe.enterAsks = 0;
    storeBytes(enter, safe.enterBytes, safe.enterLength);
    safe.enterAsks = asks ? 1 : 0;
}

// ---- Terminal modes.

bool controlsTerminal() {
    return !session.inputIsTerminal || tcgetsid(kIn) == getsid(0);
}

void enterGameModes() {
    cbreak();
    noecho();
    nonl();
    intrflush(stdscr, FALSE);
    typeahead(-1);  // a pending key must never cut a screen update short
    leaveok(stdscr, TRUE);
    scrollok(stdscr, FALSE);

    termios game{};
    tcgetattr(kOut, &game);
    game.c_iflag &= ~(ICRNL);   // Enter would arrive as LF instead of CR
    game.c_iflag &= ~(INLCR);   // and LF as CR
    game.c_iflag &= ~(IGNCR);   // CR would vanish
    game.c_iflag &= ~(IXON);    // Ctrl-S and Ctrl-Q would stop and start the output
    game.c_iflag &= ~(ISTRIP);  // the eighth bit of UTF-8 text would be cut off
    game.c_lflag &= ~(ECHO);    // keys would be printed over the picture
    game.c_lflag &= ~(ICANON);  // input would wait for a whole line
    game.c_lflag &= ~(IEXTEN);  // Ctrl-V would swallow the next key
    game.c_lflag |= ISIG;       // but Ctrl-C, Ctrl-Z and Ctrl-\ keep raising their signals
    // On a terminal that is not the game's controlling terminal (started under setsid) those
    // signals would go to whoever the terminal belongs to, and the game would run on without its
    // player: the keys arrive as bytes instead, and the key decoder raises the signals.
    if (!controlsTerminal()) game.c_lflag &= ~(ISIG);
    game.c_cc[VMIN] = 1;
    game.c_cc[VTIME] = 0;
    tcsetattr(kOut, TCSANOW, &game);
    safe.game = game;
    def_prog_mode();
}

void setUpColours() {
    if (!has_colors()) return;
    start_color();
    // curses' own first clear then needs no colour: on a terminal that does not clear in the
    // background colour it would write a blank over every cell, which the game's first frame
    // does again in black.
    use_default_colors();
    session.sixteenColours = COLORS >= 16;
}

void keepStderrOffTheScreen() {
    if (!isatty(STDERR_FILENO)) return;  // already going somewhere the player does not look
    std::fflush(stderr);
    safe.savedStderr = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    safe.nullStderr = open(GLYPH_STDERR_LOG, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (safe.savedStderr >= 0 && safe.nullStderr >= 0) dup2(safe.nullStderr, STDERR_FILENO);
}

void putStderrBack() {
    std::fflush(stderr);
    if (safe.savedStderr >= 0) dup2(safe.savedStderr, STDERR_FILENO);
}

// ---- Stops and the foreground.

bool inForeground() {
    if (!isatty(kOut)) return true;
    const pid_t foreground = tcgetpgrp(kOut);
    return foreground < 0 || foreground == getpgrp();  // not our controlling terminal: no jobs
}

// After a stop, takes the terminal back for the game, once it is in the foreground again: after
// `bg` it waits there quietly, drawing nothing and reading nothing, until `fg`.
void retakeAfterStop() {
    if (!safe.retake) return;
    waitForForeground();
    sigset_t all, previous;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, &previous);
    safe.retake = 0;
    tcsetattr(kOut, TCSANOW, &safe.game);
    if (!safe.active) {
        writeAll(kOut, safe.enterBytes, static_cast<std::size_t>(safe.enterLength));
        if (safe.enterAsks) safe.unansweredQueries = safe.unansweredQueries + 1;
        if (safe.nullStderr >= 0) dup2(safe.nullStderr, STDERR_FILENO);
        safe.active = 1;
    }
    // The picture is gone, and a resize in the background was never signalled to the game.
    safe.continued = 1;
    safe.resized = 1;
    sigprocmask(SIG_SETMASK, &previous, nullptr);
}

// ---- Input.

void setReleasesReported(bool arrows, bool enter) {
    session.arrowReleases = arrows;
    shadow::keys().setReleasesReported(arrows, enter);
}

// The keyboard protocol's flags: the first answer says that the terminal knows the protocol (the
// flags are pushed at once, however late it comes); the answer to the question asked right after
// the push says which flags took.
void keyboardFlagsReported(int flags) {
    if (!session.keyboardSupported) {
        session.keyboardSupported = true;
        prepareRestoreBytes();
        if (!safe.active) return;
        sendPendingOutput();  // a frame may be on its way: not into the middle of it
        writeString(kKeyboardPushAndAsk);
        return;
    }
    const bool releases = (flags & kFlagEventTypes) != 0;
    setReleasesReported(releases, releases && (flags & kFlagAllKeysAsEscapes) != 0);
}

// The X server's word on the keys, where there is one that sees them and the terminal does not
// report releases itself. Called whenever input comes and before every key poll.
void consultKeyboard(long long now) {
    const bool usable =
        xkeyboard::connected() && !shadow::keys().keyboardBlind() && !session.arrowReleases;
    if (usable != session.viewed) {
        session.viewed = usable;
        shadow::keys().setKeyboardView(usable);
        if (shadow::keys().keyboardBlind()) xkeyboard::stop();
    }
    // A look is worth taking while it is recent; when looks stop coming (a hung server), keys
    // held by the X server's word alone are let go rather than held for ever.
    std::uint8_t downMask = 0;
    long long requestedMs = 0;
    if (usable && xkeyboard::latestView(downMask, requestedMs) &&
        now - requestedMs <= kViewPatienceMs) {
        for (std::size_t i = 0; i < std::size(xkeyboard::kViewKeys); ++i)
            shadow::keys().applyKeyboardView(xkeyboard::kViewKeys[i], ((downMask >> i) & 1) != 0);
        session.lastViewMs = requestedMs;
    } else if (session.watching &&
               now - std::max(session.lastViewMs, session.watchedSinceMs) > kViewPatienceMs) {
        shadow::keys().keyboardViewLost();
    }
    const bool wanted = usable && shadow::keys().wantsKeyboardView();
    if (wanted && !session.watching) session.watchedSinceMs = now;
    session.watching = wanted;
    xkeyboard::watch(wanted);
}

void handleEvents() {
    const long long now = nowMs();
    // What the X server said so far belongs before these events.
    consultKeyboard(now);
    bool keys = false;
    for (const InputEvent& event : session.events) {
        switch (event.kind) {
            case InputEvent::Kind::Key:
                shadow::keys().apply(event.key, event.action, now);
                keys = true;
                break;
            case InputEvent::Kind::KeyboardFlags:
                keyboardFlagsReported(event.value);
                break;
            case InputEvent::Kind::DeviceAttributes:
                if (safe.unansweredQueries > 0) safe.unansweredQueries = safe.unansweredQueries - 1;
                if (!session.keyboardSupported && !session.keyboardRefused) {
                    session.keyboardRefused = true;  // a terminal that knows it answers first
                    prepareRestoreBytes();
                }
                break;
            case InputEvent::Kind::Win32Input:
                setReleasesReported(true, true);
                break;
            case InputEvent::Kind::FocusLost:
                shadow::forgetKeys();  // keys held now are held for another window
                break;
            // With the keyboard protocols these keys no longer raise their signals by themselves.
            case InputEvent::Kind::Interrupt:
                std::raise(SIGINT);
                break;
            case InputEvent::Kind::Suspend:
                std::raise(SIGTSTP);
                break;
            case InputEvent::Kind::Quit:
                std::raise(SIGQUIT);
                break;
        }
    }
    session.events.clear();
    if (keys) {
        xkeyboard::inputArrived();
        consultKeyboard(now);  // watch the keys just pressed
    }
}

// Reads what one poll() said was there; false when nothing more can come.
bool readOnce() {
    unsigned char buffer[4096];
    const ssize_t count = read(session.inputFd, buffer, sizeof buffer);
    if (count > 0) {
        session.decoder.feed(buffer, static_cast<std::size_t>(count), nowMs(), session.events);
        handleEvents();
        return true;
    }
    if (count < 0 && (errno == EINTR || errno == EAGAIN)) return true;
    // A terminal that gives end of input has hung up (its window was closed) even when no SIGHUP
    // reached us, as when the program runs in a process group of its own: end the way SIGHUP does.
    if (session.inputIsTerminal && (count == 0 || errno == EIO)) std::raise(SIGHUP);
    session.inputOpen = false;  // end of input: never poll it again, or poll() would spin
    return false;
}

// Switches the key reports on and asks whether the terminal knows the keyboard protocol. Nothing
// waits for the answer: it is taken whenever it comes, and the flags are pushed then.
void askKeyboard() {
    bool asks = false;
    const std::string bytes = keyboardWayIn(asks);
    if (asks) safe.unansweredQueries = safe.unansweredQueries + 1;
    writeString(bytes.c_str());
    // Keys held in an X window can be asked of the X server: connect in the background.
    if (safe.readsTerminal) xkeyboard::start();
}

// A terminal that cannot place the cursor cannot show the game: rather than run blind or flood
// it with text, say what is wrong and how to put it right, before anything is drawn.
void refuseUndrivableTerminal() {
    const std::string problem = terminalTypeProblem(kOut);
    if (problem.empty()) return;
    std::fprintf(stderr,
                 "glyph-labyrinth: %s; set TERM to the terminal's type, for example "
                 "TERM=xterm-256color\n",
                 problem.c_str());
    std::exit(kUndrivableTerminal);
}

// The terminal opened once more for reading, without blocking: a read after poll() never waits,
// even when what poll() saw was taken by the shell while the game was stopped, and the
// description the shell shares stays as it was.
int openOwnInput() {
    if (!session.inputIsTerminal) return kIn;
    const char* name = ttyname(kIn);
    const int fd = name != nullptr ? open(name, O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC) : -1;
    struct stat ours {};
    struct stat shared {};
    if (fd >= 0 && fstat(fd, &ours) == 0 && fstat(kIn, &shared) == 0 &&
        ours.st_rdev == shared.st_rdev)
        return fd;
    if (fd >= 0) close(fd);
    return kIn;
}

}  // namespace

long long nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool start() {
    if (session.started) return session.curses;
    session.started = true;
    noteIgnoredSignals();
    session.inputIsTerminal = isatty(kIn) == 1;
    safe.readsTerminal = session.inputIsTerminal;

    // Only the character set matters to the game (UTF-8 or not, and how wide a glyph is); reading
    // the other categories would cost a good part of the start-up.
    std::setlocale(LC_CTYPE, "");
    session.unicode = std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
    if (!isatty(kOut)) return false;
    refuseUndrivableTerminal();
    waitForForeground();  // started in the background: nothing is taken until it is brought forward

    // Save the terminal as found and arrange its restoration before changing anything.
    safe.haveOriginal = tcgetattr(kOut, &safe.original) == 0;
    installHandlers();
    std::atexit(leave);

    // From curses' first change to the terminal (newterm already turns echo off) until the game's
    // modes are stored, a handler would find the terminal neither as it was nor as the game's: a
    // signal meanwhile waits until both are known, so that an early Ctrl-Z puts back what was there
    // and takes back what the game will use.
    sigset_t all, previous;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, &previous);
    keepStderrOffTheScreen();  // curses' complaints are not for the player's screen
    if (newterm(nullptr, stdout, stdin) == nullptr) {
        putStderrBack();
        sigprocmask(SIG_SETMASK, &previous, nullptr);
        return false;
    }
    session.curses = true;
    session.alternateScreen = hasCapability("smcup") && hasCapability("rmcup");
    session.inputFd = openOwnInput();
    safe.inputFd = session.inputFd;
    prepareRestoreBytes();
    enterGameModes();
    safe.active = 1;
    sigprocmask(SIG_SETMASK, &previous, nullptr);

    setUpColours();
    curs_set(0);
    refresh();  // sends the alternate screen and a clear before anything of ours
    askKeyboard();
    return true;
}

bool unicode() {
    return session.unicode;
}
bool sixteenColours() {
    return session.sixteenColours;
}

namespace {

// Gives the terminal up: the keyboard flags popped and the key reports off, what the terminal
// still had to send swallowed, curses left, stderr back. A program that borrows the terminal
// gets it in the game's modes, remembered for the way back; on leaving for good the modes the
// terminal came with are put back. No handler may run halfway through: it would find the
// terminal half restored.
void releaseTerminal(bool comingBack) {
    if (!safe.active) return;
    sigset_t all, previous;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, &previous);
    safe.active = 0;
    writeString(cancelThen(keyboardWayOut()).c_str());
    swallowTerminalAnswers();
    session.watching = false;
    xkeyboard::watch(false);
    if (comingBack) def_prog_mode();
    endwin();
    if (!comingBack && !session.alternateScreen)
        writeAll(kOut, safe.resetBytes, static_cast<std::size_t>(safe.resetLength));
    if (!comingBack && safe.haveOriginal) tcsetattr(kOut, TCSANOW, &safe.original);
    putStderrBack();  // a borrowing program's messages are for the player
    sigprocmask(SIG_SETMASK, &previous, nullptr);
}

}  // namespace

void leave() {
    releaseTerminal(false);
}

void handOver() {
    releaseTerminal(true);
}

void takeBack() {
    if (!session.curses || safe.active) return;
    reset_prog_mode();
    if (safe.savedStderr >= 0 && safe.nullStderr >= 0) dup2(safe.nullStderr, STDERR_FILENO);
    safe.active = 1;
    refresh();  // back on the alternate screen, cursor hidden again

    // What was typed for the other program is not for the game.
    if (session.inputIsTerminal) tcflush(session.inputFd, TCIFLUSH);
    drainInput();
    session.decoder.reset();
    shadow::screenReturned();
    bool asks = false;
    const std::string bytes = keyboardWayIn(asks);
    if (asks) safe.unansweredQueries = safe.unansweredQueries + 1;
    writeString(bytes.c_str());
}

void drainInput() {
    while (session.inputOpen) {
        retakeAfterStop();
        pollfd input{session.inputFd, POLLIN, 0};
        const int ready = poll(&input, 1, 0);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0 || !readOnce()) return;
    }
}

bool waitForInput(int timeoutMs, int writableFd) {
    retakeAfterStop();
    pollfd fds[2] = {{session.inputFd, POLLIN, 0}, {writableFd, POLLOUT, 0}};
    if (!session.inputOpen) {
        fds[0].fd = -1;                                         // poll() skips it
        if (timeoutMs < 0 && writableFd < 0) timeoutMs = 1000;  // nothing to wait for but signals
    }
    if (poll(fds, writableFd >= 0 ? 2 : 1, timeoutMs) <= 0 || fds[0].revents == 0) return false;
    if (readOnce()) drainInput();
    return true;
}

void pollKeys() {
    drainInput();
    consultKeyboard(nowMs());
}

bool takeResized(int& rows, int& columns) {
    if (!safe.resized) return false;
    safe.resized = 0;
    winsize size{};
    if (ioctl(kOut, TIOCGWINSZ, &size) != 0 || size.ws_row == 0 || size.ws_col == 0) return false;
    rows = size.ws_row;
    columns = size.ws_col;
    return true;
}

bool takeContinued() {
    retakeAfterStop();
    if (!safe.continued) return false;
    safe.continued = 0;
    return true;
}

void waitForForeground() {
    // `fg` continues the game with SIGCONT, which cuts the wait short.
    while (!inForeground()) poll(nullptr, 0, kForegroundCheckMs);
}

void restoreOriginalModes() {
    if (safe.haveOriginal) tcsetattr(kOut, TCSANOW, &safe.original);
}

int stopCount() {
    return safe.stops;
}

bool ignoredAtStart(int signal) {
    return sigismember(&session.ignoredAtStart, signal) == 1;
}

}  // namespace terminal
