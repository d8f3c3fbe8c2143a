// The console primitives on a POSIX terminal.
//
// The game writes into a model of the 100x30 console (the shadow screen); the terminal is brought
// up to date with it only at presentation points, and then only with what the player would see
// differently (the escape writer):
// - pauses, each letter of the typewriter, and before another program takes the terminal;
// - the start of a sweep over the whole picture, which the game begins by moving the cursor to
//   (0, 0). Loops that repaint the screen without pausing (the menu, the end screens) start
//   every pass that way, and at that moment the picture of the previous pass stands complete;
//   the first such moment after a clear is the start of the first sweep, and shows nothing.
//   When the pass left the picture as the terminal shows it, nothing can change it before the
//   player does something: the game sleeps until a key, a resize or a signal (but not while a
//   key is down, which keeps acting on every pass). Otherwise the boundary is held to one per
//   frame (~60 Hz), reading input while it waits;
// - as a safety net, any output that has waited for more than a few frames.
// Key polls only read input: the states a loop pass goes through on its way (the menu draws the
// selected box White before it draws it Green) never reach the screen.
//
// Output never blocks the game. It goes through a file description of the terminal of our own,
// which may be non-blocking without changing the one the shell shares; what the terminal cannot
// take yet waits, and the pictures drawn meanwhile are not sent one by one: once the line is free,
// the latest one is.
//
// When standard output is not a terminal, text goes to it in order, without positions or
// colours (repeated sweeps left out, plain_output.h), and no key is ever pressed.

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "console/console_primitives.h"
#include "console/cp437.h"
#include "console/screen_model.h"
#include "console/terminal/curses.h"
#include "console/terminal/escape_writer.h"
#include "console/terminal/plain_output.h"
#include "console/terminal/presenter.h"
#include "console/terminal/terminal_session.h"

namespace {

constexpr long long kFrameUs = 16'000;
constexpr long long kSafetyNetUs = 50'000;
constexpr int kSafetyNetStride = 256;  // output calls between two looks at the clock
constexpr int kSizeCheckMs = 250;
constexpr int kHandOverWaitMs = 2000;  // for a line that takes nothing, before the terminal changes hands
constexpr unsigned char kTypewriterBlock = 0xDB;

struct Console {
    bool started = false;
    bool plain = false;  // no terminal: text only
    ScreenModel model;
    std::optional<EscapeWriter> writer;
    unsigned long long framedChanges = 0;  // the model's change count when last framed
    bool deferred = false;                 // a presentation waits for the line to take more
    bool clearedSinceFrame = false;
    long long lastFrameUs = 0;
    int callsSinceClockCheck = 0;

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

long long nowUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

// ---- Output.

// The terminal opened once more: O_NONBLOCK on this description is ours alone, while the shell
// and any program started from here keep a blocking terminal. Where that fails, the shared one,
// which may block.
int openOwnOutput() {
    const char* name = ttyname(STDOUT_FILENO);
    if (name == nullptr) return STDOUT_FILENO;
    const int fd = open(name, O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return STDOUT_FILENO;
    struct stat ours {}, shared {};
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

bool ensureStarted() {
    if (!console.started) {
        console.started = true;
        console.plain = !terminal::start();
        if (!console.plain) {
            console.writer.emplace(TerminalEscapes::fromCurrentTerminal(terminal::unicode()));
            updateGeometry();
            console.outFd = openOwnOutput();
            std::atexit(sendEverythingAtExit);  // runs before the terminal is given back
        }
        console.lastFrameUs = nowUs() - kFrameUs;  // the first frame need not wait
    }
    return !console.plain;
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
    if (has_colors()) {  // on black, as the game is
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
    terminal::keys().clear();
    console.writer->forget();
}

// ---- Presentation.

bool pictureChanged() {
    return !console.writer->knowsScreen() || console.model.changeCount() != console.framedChanges;
}

// Sends what changed, unless the terminal has not yet taken the last frame: then the picture as
// it stands goes out as soon as it has.
void present() {
    if (!ensureStarted()) {
        plainoutput::flush();
        console.lastFrameUs = nowUs();
        return;
    }
    serviceSignals();
    if (tooSmall()) waitForRoom();
    console.lastFrameUs = nowUs();
    sendPending();
    console.deferred = outputBusy();
    if (console.deferred || !pictureChanged()) return;
    console.writer->frame(console.model, console.pending);
    console.framedChanges = console.model.changeCount();
    sendPending();
}

// Sleeps until `deadlineUs` (or, with a negative deadline, until a key, a resize or a signal),
// reading input as it comes, repainting after a resize and sending the latest picture whenever
// the terminal can take more.
void waitUntil(long long deadlineUs) {
    for (;;) {
        if (!console.plain) {
            serviceSignals();
            if (!console.writer->knowsScreen() || (console.deferred && !outputBusy())) present();
        }
        const long long leftUs = deadlineUs - nowUs();
        if (deadlineUs >= 0 && leftUs <= 0) return;
        const int leftMs = deadlineUs < 0 ? -1 : static_cast<int>((leftUs + 999) / 1000);
        if (console.plain) {
            poll(nullptr, 0, leftMs);
        } else if (outputBusy()) {
            terminal::waitForInput(leftMs, console.outFd);
            sendPending();
            // A key typed meanwhile ends an idle sleep even while the line is still busy.
            if (deadlineUs < 0 && terminal::keys().anyDown(terminal::nowMs())) return;
            continue;  // only the line freed up, perhaps: keep sleeping
        } else {
            terminal::waitForInput(leftMs);
        }
        if (deadlineUs < 0) return;
    }
}

// Nothing the game does can change the picture before the player does something: it is the
// picture last sent (or on its way, on a slow line), and no key is down.
bool idle() {
    return !tooSmall() && !terminal::keys().anyDown(terminal::nowMs()) &&
           console.writer->shows(console.model);
}

void frameBoundary() {
    if (!ensureStarted()) {
        plainoutput::endSweep();
        waitUntil(console.lastFrameUs + kFrameUs);
        present();
        return;
    }
    if (console.clearedSinceFrame) {
        console.clearedSinceFrame = false;
        return;
    }
    serviceSignals();
    if (idle()) {
        waitUntil(-1);
        // The frame clock starts again from the wake: the pass that reads the key and the next
        // one stay a frame apart, as a key tap's moment of being down expects.
        console.lastFrameUs = nowUs();
        return;
    }
    waitUntil(console.lastFrameUs + kFrameUs);
    present();
}

void safetyNet() {
    if (++console.callsSinceClockCheck < kSafetyNetStride) return;
    console.callsSinceClockCheck = 0;
    if (console.started && !console.plain && nowUs() - console.lastFrameUs >= kSafetyNetUs) {
        present();
    }
}

// ---- Writing.

void writePlain(unsigned char byte) {
    using plainoutput::write;
    if (byte < 0x80 || !terminal::unicode()) {
        write(byte < 0x80 ? byte : static_cast<unsigned char>(cp437ToAscii(byte)));
        return;
    }
    const char32_t code = cp437ToUnicode(byte);  // U+00A0 to U+25A0: two or three bytes
    if (code < 0x800) {
        write(static_cast<unsigned char>(0xC0 | (code >> 6)));
    } else {
        write(static_cast<unsigned char>(0xE0 | (code >> 12)));
        write(static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3F)));
    }
    write(static_cast<unsigned char>(0x80 | (code & 0x3F)));
}

void write(unsigned char byte) {
    if (console.plain) {
        writePlain(byte);
    } else {
        console.model.write(byte);
    }
}

void write(const char* text) {
    for (; *text != '\0'; ++text) write(static_cast<unsigned char>(*text));
}

}  // namespace

ConsoleHandle consoleOut = &console;

namespace terminal {

void presentScreen() {
    present();
    if (!console.plain) sendEverything(kHandOverWaitMs);
}

void sendPendingOutput() {
    if (console.started && !console.plain) sendEverything(kHandOverWaitMs);
}

void repaintScreen() {
    if (console.writer) console.writer->forget();
    console.sizeMessageShown = false;
}

}  // namespace terminal

void gotoXY(int column, int row) {
    ensureStarted();
    console.model.moveTo(column, row);
    if (column == 0 && row == 0) {
        frameBoundary();
    } else {
        safetyNet();
    }
}

void setColor(Colour attribute) {
    ensureStarted();
    console.model.setAttr(attribute);
}

void clearScreen() {
    ensureStarted();
    console.model.clear();
    console.clearedSinceFrame = true;
}

void putGlyph(unsigned char code) {
    ensureStarted();
    write(code);
    safetyNet();
}

void putText(const char* text) {
    ensureStarted();
    write(text);
    safetyNet();
}

void putNumber(std::int32_t value) {
    ensureStarted();
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits - 1, value).ptr;
    *end = '\0';
    write(digits);
    safetyNet();
}

void typeText(const char* text) {
    ensureStarted();
    for (; *text != '\0'; ++text) {
        write(static_cast<unsigned char>(*text));
        write(kTypewriterBlock);
        present();
        waitUntil(nowUs() + 10'000);
        write("\b \b");
    }
}

void hideCursor() {
    if (ensureStarted()) curs_set(0);
}

void pauseMs(int ms) {
    ensureStarted();
    present();
    if (ms > 0) waitUntil(nowUs() + static_cast<long long>(ms) * 1000);
}

long long monotonicMs() {
    return terminal::nowMs();
}

bool keyPressed(Key key) {
    if (!ensureStarted()) return false;
    return terminal::queryKey(key);
}
