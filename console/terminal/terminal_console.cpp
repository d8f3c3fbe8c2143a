// The terminal backend of the shadow console (console_backend.h): the picture goes to a POSIX
// terminal as the bytes that make it show what the player would see differently (the escape
// writer), and keys come from the terminal's input (terminal_session.h).
//
// Output never blocks the game. It goes through a file description of the terminal of our own,
// which may be non-blocking without changing the one the shell shares; what the terminal cannot
// take yet waits, and the pictures drawn meanwhile are not sent one by one: once the line is free,
// the latest one is.
//
// The wait for input is a true sleep: until a key, a resize or a signal, with no wake-ups.
//
// When standard output is not a terminal, the text goes to it plainly (UTF-8, or ASCII shapes
// outside a UTF-8 locale), and no key is ever pressed.

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>

#include "console/console_backend.h"
#include "console/console_primitives.h"
#include "console/screen_model.h"
#include "console/shadow_console.h"
#include "console/terminal/curses.h"
#include "console/terminal/escape_writer.h"
#include "console/terminal/presenter.h"
#include "console/terminal/terminal_session.h"

namespace {

constexpr int kSizeCheckMs = 250;
// How long a line that takes nothing is waited for, before the terminal changes hands.
constexpr int kHandOverWaitMs = 2000;

struct Console {
    bool screen = false;  // the terminal is ours (not plain text)
    std::optional<EscapeWriter> writer;
    unsigned long long framedChanges = 0;  // the picture's change count when last framed
    bool deferred = false;                 // a presentation waits for the line to take more

    // The terminal's size.
    int rows = 0;
    int columns = 0;
    bool sizeMessageShown = false;

    // Bytes of the last frame that the terminal has not taken yet.
    int outFd = STDOUT_FILENO;
    std::string pending;
    std::size_t sent = 0;
};

Console console;

// ---- Output.

// The terminal opened once more: O_NONBLOCK on this description is ours alone, while the shell
// and any program started from here keep a blocking terminal. Where that fails, the shared one,
// which may block.
int openOwnOutput() {
    const char* name = ttyname(STDOUT_FILENO);
    if (name == nullptr) return STDOUT_FILENO;
    const int fd = open(name, O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return STDOUT_FILENO;
    struct stat ours = {};
    struct stat shared = {};
    if (fstat(fd, &ours) != 0 || fstat(STDOUT_FILENO, &shared) != 0 ||
        ours.st_rdev != shared.st_rdev) {
        close(fd);
        return STDOUT_FILENO;
    }
    return fd;
}

// Writes what the terminal takes without waiting.
void sendPending() {
    while (console.sent < console.pending.size()) {
        const ssize_t written = ::write(console.outFd, console.pending.data() + console.sent,
                                        console.pending.size() - console.sent);
        if (written > 0) {
            console.sent += static_cast<std::size_t>(written);
            continue;
        }
        if (written < 0 && errno == EINTR) continue;
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        break;  // the terminal is gone: nothing more will reach it
    }
    console.pending.clear();
    console.sent = 0;
}

bool outputBusy() {
    return !console.pending.empty();
}

// Waits, up to `timeoutMs`, until the terminal has taken everything: before curses or another
// program writes to it, and on the way out.
void sendEverything(int timeoutMs) {
    const long long deadline = terminal::nowMs() + timeoutMs;
    for (sendPending(); outputBusy(); sendPending()) {
        const long long left = deadline - terminal::nowMs();
        if (left <= 0) break;
        pollfd output{console.outFd, POLLOUT, 0};
        poll(&output, 1, static_cast<int>(left));
    }
    console.pending.clear();
    console.sent = 0;
}

void sendEverythingAtExit() {
    sendEverything(kHandOverWaitMs);
}

void updateGeometry() {
    getmaxyx(stdscr, console.rows, console.columns);
    console.writer->setTerminalSize(console.rows, console.columns);
}

// ---- Size, resize and continuation.

void serviceSignals() {
    int rows = 0;
    int columns = 0;
    if (terminal::takeResized(rows, columns)) {
        resize_term(rows, columns);
        updateGeometry();
        console.sizeMessageShown = false;
    }
    if (terminal::takeContinued()) {
        // The terminal was given back and taken again meanwhile: what it shows is anyone's guess,
        // and what was still on its way belongs to the picture it no longer shows.
        console.pending.clear();
        console.sent = 0;
        console.writer->forget();
        console.sizeMessageShown = false;
    }
}

bool tooSmall() {
    return console.rows < ScreenModel::kRows || console.columns < ScreenModel::kColumns;
}

void showSizeMessage() {
    const std::string lines[] = {
        "Glyph Labyrinth needs a terminal of at least 100 x 30 characters.",
        "This one is " + std::to_string(console.columns) + " x " + std::to_string(console.rows) +
            ": please make it larger.",
    };
    sendEverything(kHandOverWaitMs);  // curses writes next, on the shared description
    if (has_colors()) {
        // On black, as the game is.
        init_pair(1, COLOR_WHITE, COLOR_BLACK);
        bkgdset(' ' | COLOR_PAIR(1));
        wattrset(stdscr, static_cast<int>(COLOR_PAIR(1)));
    }
    werase(stdscr);
    clearok(curscr, TRUE);
    const int top = std::max(0, console.rows / 2 - 1);
    for (int i = 0; i < 2; ++i) {
        const int width = static_cast<int>(lines[i].size());
        const int left = std::max(0, (console.columns - width) / 2);
        mvwaddnstr(stdscr, top + i, left, lines[i].c_str(), console.columns - left);
    }
    wrefresh(stdscr);
    console.sizeMessageShown = true;
}

// Holds the game while the terminal is too small for the picture. Ctrl-C still ends it; keys
// typed meanwhile are dropped.
void waitForRoom() {
    while (tooSmall()) {
        if (!console.sizeMessageShown) showSizeMessage();
        terminal::waitForInput(kSizeCheckMs);
        serviceSignals();
    }
    shadow::forgetKeys();
    console.writer->forget();
}

// ---- Waiting.

// Sleeps until `deadlineUs` (or, with a negative deadline, until a key, a resize or a signal),
// reading input as it comes, repainting after a resize and sending the latest picture whenever
// the terminal can take more.
void waitUntil(long long deadlineUs) {
    for (;;) {
        if (console.screen) {
            serviceSignals();
            if (!console.writer->knowsScreen() || (console.deferred && !outputBusy())) {
                shadow::present();
            }
        }
        const long long leftUs = deadlineUs - backend::nowUs();
        if (deadlineUs >= 0 && leftUs <= 0) return;
        const int leftMs = deadlineUs < 0 ? -1 : static_cast<int>((leftUs + 999) / 1000);
        if (!console.screen) {
            poll(nullptr, 0, leftMs);
        } else if (outputBusy()) {
            const bool input = terminal::waitForInput(leftMs, console.outFd);
            sendPending();
            // Input ends a wait for it even while the line is still busy.
            if (deadlineUs < 0 && input) return;
            continue;  // only the line freed up, perhaps: keep sleeping
        } else {
            terminal::waitForInput(leftMs);
        }
        if (deadlineUs < 0) return;
    }
}

}  // namespace

ConsoleHandle consoleOut = &console;

namespace terminal {

void presentScreen() {
    shadow::present();
    if (console.screen) sendEverything(kHandOverWaitMs);
}

void sendPendingOutput() {
    if (console.screen) sendEverything(kHandOverWaitMs);
}

void repaintScreen() {
    if (console.writer) console.writer->forget();
    console.sizeMessageShown = false;
}

}  // namespace terminal

namespace backend {

Output start() {
    console.screen = terminal::start();
    if (!console.screen) return terminal::unicode() ? Output::PlainUtf8 : Output::PlainAscii;
    console.writer.emplace(TerminalEscapes::fromCurrentTerminal(terminal::unicode()));
    updateGeometry();
    console.outFd = openOwnOutput();
    std::atexit(sendEverythingAtExit);  // runs before the terminal is given back
    return Output::Screen;
}

long long nowUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

// Sends what changed, unless the terminal has not yet taken the last frame: then the picture as
// it stands goes out as soon as it has.
bool present(const ScreenModel& picture) {
    serviceSignals();
    if (tooSmall()) waitForRoom();
    sendPending();
    console.deferred = outputBusy();
    if (console.deferred) return !console.writer->shows(picture);
    if (console.writer->knowsScreen() && picture.changeCount() == console.framedChanges) {
        return false;
    }
    console.writer->frame(picture, console.pending);
    console.framedChanges = picture.changeCount();
    const bool sent = outputBusy();
    sendPending();
    return sent;
}

void sleepUntil(long long deadlineUs, Sleep) {
    waitUntil(deadlineUs);
}

void sleepUntilInput() {
    waitUntil(-1);
}

// Input waits in the terminal until it is read: nothing else needs a turn.
void giveTurn() {}

void readInput() {
    terminal::pollKeys();
}

void hideCursor() {
    curs_set(0);
}

}  // namespace backend
