// The console primitives in a web page, drawn in the page's terminal widget.
//
// The game writes into a model of the 100x30 console; the widget is brought up to date with it
// only at presentation points, and then only with the cells that differ from what it shows:
// - pauses, each letter of the typewriter, and before the help overlay opens;
// - the start of a sweep over the whole picture, which the game begins by moving the cursor to
//   (0, 0). Loops that repaint the screen without pausing (the menu, the end screens) start
//   every pass that way, and at that moment the picture of the previous pass stands complete.
//   It is sent, and the game waits for the page's next animation frame: such a loop runs one
//   pass per frame and leaves the page idle in between;
// - as a safety net, any output that has waited for more than a few frames.
//
// A page runs its key handlers, its drawing and its sound only while the game waits, and the
// game's loops block. The program is built with Asyncify: every wait unwinds the game's stack to
// the page's event loop and rewinds it afterwards, so the loops run unchanged. No loop may go on
// for long without a wait, so key polls and output give the page a turn whenever the last wait
// lies more than a frame back; such a turn is a posted message, far cheaper than a timer.

#include <emscripten.h>

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>
#include <string_view>

#include "console/console_primitives.h"
#include "console/cp437.h"
#include "console/key_state.h"
#include "console/screen_model.h"
#include "console/web/web_console.h"

namespace {

// ---- The page's side, in the page's script (glyphPage).

// The bytes are copied: the widget parses what it is given later, when the game has moved on.
EM_JS(void, pageWrite, (const char* bytes, int length), {
    glyphPage.write(HEAPU8.slice(bytes, bytes + length));
});

// Moves up to `capacity` queued key events into `events`; returns how many it moved.
EM_JS(int, pageTakeKeyEvents, (int* events, int capacity), {
    return glyphPage.takeKeyEvents(HEAP32.subarray(events >> 2, (events >> 2) + capacity));
});

EM_ASYNC_JS(void, pageNextFrame, (), { await glyphPage.nextFrame(); });

EM_ASYNC_JS(void, pageYield, (), { await glyphPage.yieldToPage(); });

EM_JS(void, pageGameStarted, (), { glyphPage.gameStarted(); });

EM_JS(void, pageGameEnded, (), { glyphPage.gameEnded(); });

// What the page reports of a key: the key's code in the low byte, what happened above it.
enum class PageKeyEvent : int { Press = 0, Repeat = 1, Release = 2, AllReleased = 3 };

// ---- The console.

constexpr double kFrameMs = 1000.0 / 60;
constexpr double kSafetyNetMs = 50;
constexpr int kSafetyNetStride = 256;  // output calls between two looks at the clock
constexpr unsigned char kTypewriterBlock = 0xDB;

struct Console {
    bool started = false;
    ScreenModel model;

    // What the widget shows of the model, valid once everything was sent.
    std::array<ScreenCell, ScreenModel::kColumns * ScreenModel::kRows> shown{};
    bool shownValid = false;
    unsigned long long shownChanges = 0;
    std::string bytes;  // of one presentation, kept to reuse its memory

    KeyState keys;
    double lastPresentMs = 0;
    double lastWaitMs = 0;  // when the page last had its turn
    int callsSinceClockCheck = 0;
};

Console console;

double nowMs() {
    return emscripten_get_now();
}

void announceEnd() {
    web::presentScreen();
    pageGameEnded();
}

void ensureStarted() {
    if (console.started) return;
    console.started = true;
    console.keys.setReleasesAlwaysReported();
    // The menu's Exit ends the program with exit(): the page then says so.
    std::atexit(announceEnd);
    pageGameStarted();
    console.lastPresentMs = console.lastWaitMs = nowMs();
}

// ---- Presentation, as terminal control sequences for the widget.

// Console attributes are bit sets (1 blue, 2 green, 4 red, 8 bright); terminal colours number
// them the other way round (31 red, 34 blue). The page gives the widget the console's palette.
int sgrColour(Colour colour) {
    switch (colour) {
        case Colour::Blue:
            return 34;
        case Colour::Green:
            return 32;
        case Colour::Aqua:
            return 36;
        case Colour::Red:
            return 31;
        case Colour::Purple:
            return 35;
        case Colour::Yellow:
            return 33;
        case Colour::White:
            return 37;
        case Colour::Gray:
            return 90;
        case Colour::LightBlue:
            return 94;
    }
    return 37;
}

void appendNumber(std::string& out, int value) {
    char digits[12];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end);
}

void appendMove(std::string& out, int column, int row) {
    out += "\x1b[";
    appendNumber(out, row + 1);
    out += ';';
    appendNumber(out, column + 1);
    out += 'H';
}

void appendColour(std::string& out, Colour colour) {
    out += "\x1b[";
    appendNumber(out, sgrColour(colour));
    out += 'm';
}

void appendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

void sendToPage(std::string_view bytes) {
    pageWrite(bytes.data(), static_cast<int>(bytes.size()));
}

void present() {
    ensureStarted();
    console.lastPresentMs = nowMs();
    if (console.shownValid && console.model.changeCount() == console.shownChanges) return;

    std::string& out = console.bytes;
    out.clear();
    const bool everything = !console.shownValid;
    int nextColumn = -1;  // where the widget's cursor stands after the last cell sent
    int nextRow = -1;
    int colour = -1;
    for (int row = 0; row < ScreenModel::kRows; ++row) {
        for (int column = 0; column < ScreenModel::kColumns; ++column) {
            const ScreenCell& cell = console.model.at(column, row);
            ScreenCell& shown = console.shown[row * ScreenModel::kColumns + column];
            if (!everything && cell == shown) continue;
            if (column != nextColumn || row != nextRow) appendMove(out, column, row);
            if (sgrColour(cell.attr) != colour) {
                colour = sgrColour(cell.attr);
                appendColour(out, cell.attr);
            }
            appendUtf8(out, cp437ToUnicode(cell.glyph));
            shown = cell;
            // Past the last column the widget keeps its cursor there (no wrapping): the next
            // cell sent always moves it.
            nextColumn = column + 1;
            nextRow = row;
        }
    }
    console.shownValid = true;
    console.shownChanges = console.model.changeCount();
    if (!out.empty()) sendToPage(out);
}

// ---- Waiting: the page's turn.

// After a wait that followed a presentation: the picture stands as the game last drew it, and
// the safety net counts from here.
void waitedAfterPresenting() {
    console.lastWaitMs = console.lastPresentMs = nowMs();
}

// Presents, then sleeps until `deadlineMs` on the monotonic clock; the page runs meanwhile.
void presentAndWaitUntil(double deadlineMs) {
    present();
    for (double leftMs = deadlineMs - nowMs(); leftMs > 0; leftMs = deadlineMs - nowMs()) {
        emscripten_sleep(static_cast<unsigned>(std::ceil(leftMs)));
    }
    waitedAfterPresenting();
}

void frameBoundary() {
    present();
    pageNextFrame();
    waitedAfterPresenting();
}

void yieldToPage() {
    pageYield();
    console.lastWaitMs = nowMs();
}

// Output that goes on without a presentation point is shown every few frames, and the page gets
// its turn once a frame.
void safetyNet() {
    if (++console.callsSinceClockCheck < kSafetyNetStride) return;
    console.callsSinceClockCheck = 0;
    const double now = nowMs();
    if (now - console.lastPresentMs >= kSafetyNetMs) present();
    if (now - console.lastWaitMs >= kFrameMs) yieldToPage();
}

// ---- Keys.

bool gameKey(int code, Key& key) {
    switch (static_cast<Key>(code)) {
        case Key::Enter:
        case Key::Left:
        case Key::Up:
        case Key::Right:
        case Key::Down:
            key = static_cast<Key>(code);
            return true;
    }
    return false;
}

// Applies every key event the page has queued, in order.
void takeKeyEvents() {
    std::array<int, 32> events;
    const long long now = monotonicMs();
    for (;;) {
        const int count = pageTakeKeyEvents(events.data(), static_cast<int>(events.size()));
        for (int i = 0; i < count; ++i) {
            const auto what = static_cast<PageKeyEvent>(events[i] >> 8);
            Key key{};
            if (what == PageKeyEvent::AllReleased) {
                console.keys.clear();
            } else if (gameKey(events[i] & 0xFF, key)) {
                const KeyAction action = what == PageKeyEvent::Press    ? KeyAction::Press
                                         : what == PageKeyEvent::Repeat ? KeyAction::Repeat
                                                                        : KeyAction::Release;
                console.keys.apply(key, action, now);
            }
        }
        if (count < static_cast<int>(events.size())) return;
    }
}

}  // namespace

ConsoleHandle consoleOut = &console;

namespace web {

void presentScreen() {
    present();
}

void takeKeysBack() {
    takeKeyEvents();
    console.keys.clear();
    console.lastWaitMs = nowMs();
}

}  // namespace web

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
}

void putGlyph(unsigned char code) {
    ensureStarted();
    console.model.write(code);
    safetyNet();
}

void putText(const char* text) {
    ensureStarted();
    console.model.write(std::string_view(text));
    safetyNet();
}

void putNumber(std::int32_t value) {
    ensureStarted();
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    console.model.write(std::string_view(digits, static_cast<std::size_t>(end - digits)));
    safetyNet();
}

void typeText(const char* text) {
    ensureStarted();
    for (; *text != '\0'; ++text) {
        console.model.write(static_cast<unsigned char>(*text));
        console.model.write(kTypewriterBlock);
        presentAndWaitUntil(nowMs() + 10);
        console.model.write("\b \b");
    }
}

void hideCursor() {
    ensureStarted();
    sendToPage("\x1b[?25l");
}

void pauseMs(int ms) {
    ensureStarted();
    if (ms > 0) {
        presentAndWaitUntil(nowMs() + ms);
    } else {
        present();
        yieldToPage();
    }
}

long long monotonicMs() {
    return static_cast<long long>(nowMs());
}

bool keyPressed(Key key) {
    ensureStarted();
    if (nowMs() - console.lastWaitMs >= kFrameMs) yieldToPage();
    takeKeyEvents();
    return console.keys.query(key, monotonicMs());
}
