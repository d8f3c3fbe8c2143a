// The browser backend of the shadow console (console_backend.h): the picture goes to the page's
// terminal widget as the control sequences that change the cells the widget shows differently,
// and keys come from the page's key events.
//
// A page runs its key handlers, its drawing and its sound only while the game waits, and the
// game's loops block. The program is built with Asyncify: every wait unwinds the game's stack to
// the page's event loop and rewinds it afterwards, so the loops run unchanged. A sweep waits for
// the page's next animation frame, also when nothing changed, so the menu and the end screens run
// one pass per frame and leave the page idle in between. No loop may go on for long without a wait,
// so drawing and key polls give the page a turn when the last wait lies more than a frame back;
// such a turn is a posted message, far cheaper than a timer.

#include <emscripten.h>

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>
#include <string_view>

#include "console/console_backend.h"
#include "console/console_primitives.h"
#include "console/cp437.h"
#include "console/screen_model.h"
#include "console/shadow_console.h"
#include "console/web/web_console.h"

namespace {

// ---- The page's side, in the page's script (glyphPage).

// The bytes are copied: the widget parses what it is given later, when the game has moved on.
EM_JS(void, pageWrite, (const char* bytes, int length),
      { glyphPage.write(HEAPU8.slice(bytes, bytes + length)); });

// Moves up to `capacity` queued key events into `events`; returns how many it moved.
EM_JS(int, pageTakeKeyEvents, (int* events, int capacity),
      { return glyphPage.takeKeyEvents(HEAP32.subarray(events >> 2, (events >> 2) + capacity)); });

EM_ASYNC_JS(void, pageNextFrame, (), { await glyphPage.nextFrame(); });

EM_ASYNC_JS(void, pageYield, (), { await glyphPage.yieldToPage(); });

EM_JS(void, pageGameStarted, (), { glyphPage.gameStarted(); });

EM_JS(void, pageGameEnded, (), { glyphPage.gameEnded(); });

// What the page reports of a key: the key's code in the low byte, what happened above it.
enum class PageKeyEvent : int { Press = 0, Repeat = 1, Release = 2, AllReleased = 3 };

// ---- The console.

struct Console {
    ShownScreen shown;  // what the widget shows of the picture
    std::string bytes;  // of one presentation, kept to reuse its memory
};

Console console;

double nowMs() {
    return emscripten_get_now();
}

void announceEnd() {
    shadow::present();
    pageGameEnded();
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

void sendToPage(std::string_view bytes) {
    pageWrite(bytes.data(), static_cast<int>(bytes.size()));
}

// ---- Keys.

// Applies every key event the page has queued, in order.
void takeKeyEvents() {
    std::array<int, 32> events;
    const long long now = monotonicMs();
    for (;;) {
        const int count = pageTakeKeyEvents(events.data(), static_cast<int>(events.size()));
        for (int i = 0; i < count; ++i) {
            const auto what = static_cast<PageKeyEvent>(events[i] >> 8);
            const auto key = gameKeyFor(events[i] & 0xFF);
            if (what == PageKeyEvent::AllReleased) {
                shadow::keys().clear();
            } else if (key) {
                const KeyAction action = what == PageKeyEvent::Press    ? KeyAction::Press
                                         : what == PageKeyEvent::Repeat ? KeyAction::Repeat
                                                                        : KeyAction::Release;
                shadow::keys().apply(*key, action, now);
            }
        }
        if (count < static_cast<int>(events.size())) return;
    }
}

}  // namespace

ConsoleHandle consoleOut = &console;

namespace web {

void takeKeysBack() {
    takeKeyEvents();
    shadow::screenReturned();
}

}  // namespace web

namespace backend {

Output start() {
    shadow::keys().setReleasesAlwaysReported();
    // The menu's Exit ends the program with exit(): the page then says so.
    std::atexit(announceEnd);
    pageGameStarted();
    return Output::Screen;
}

long long nowUs() {
    return static_cast<long long>(nowMs() * 1000);
}

bool present(const ScreenModel& picture) {
    if (!console.shown.outdated(picture)) return false;
    std::string& out = console.bytes;
    out.clear();
    int nextColumn = -1;  // where the widget's cursor stands after the last cell sent
    int nextRow = -1;
    int colour = -1;
    for (int row = 0; row < ScreenModel::kRows; ++row) {
        for (int column = 0; column < ScreenModel::kColumns; ++column) {
            if (!console.shown.take(picture, column, row)) continue;
            const ScreenCell& cell = picture.at(column, row);
            if (column != nextColumn || row != nextRow) appendMove(out, column, row);
            if (sgrColour(cell.attr) != colour) {
                colour = sgrColour(cell.attr);
                appendColour(out, cell.attr);
            }
            appendUtf8(out, cp437ToUnicode(cell.glyph));
            // Past the last column the widget keeps its cursor there (no wrapping): the next
            // cell sent always moves it.
            nextColumn = column + 1;
            nextRow = row;
        }
    }
    console.shown.taken(picture);
    if (out.empty()) return false;
    sendToPage(out);
    return true;
}

void sleepUntil(long long deadlineUs, Sleep kind) {
    if (kind == Sleep::Frame) {
        // The widget draws at the animation frame: the picture, complete at a sweep, goes to it
        // first, so that it is drawn in this frame rather than the next.
        shadow::present();
        pageNextFrame();
        return;
    }
    for (double leftMs = deadlineUs / 1000.0 - nowMs(); leftMs > 0;
         leftMs = deadlineUs / 1000.0 - nowMs()) {
        emscripten_sleep(static_cast<unsigned>(std::ceil(leftMs)));
    }
}

// The frame just waited for gave the page its turn, key events included; a pass a frame that
// sends nothing costs the page next to nothing.
void sleepUntilInput() {}

void giveTurn() {
    pageYield();
}

void readInput() {
    takeKeyEvents();
}

void hideCursor() {
    sendToPage("\x1b[?25l");
}

}  // namespace backend
