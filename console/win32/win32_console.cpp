// The console primitives on the Windows console.
//
// The game draws into a model of the 100 x 30 console (the shadow screen). The console's screen
// buffer, one of the game's own, is brought up to date with it only at presentation points
// (console/presentation.h), and then the smallest rectangle holding every changed cell goes to
// the console in a single WriteConsoleOutputW call. Every console call is a round trip to the
// console's host process; drawing the menu cell by cell took thousands of them per pass and let
// the player watch the picture being drawn.
//
// When standard output is not a console, text goes to it in order, without positions or colours,
// and no key is ever pressed.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <array>
#include <charconv>
#include <chrono>
#include <cstdio>

#include "console/console_primitives.h"
#include "console/cp437.h"
#include "console/presentation.h"
#include "console/screen_model.h"
#include "console/win32/win32_console.h"
#include "console/win32/win32_session.h"

ConsoleHandle consoleOut = GetStdHandle(STD_OUTPUT_HANDLE);

namespace {

constexpr int kColumns = ScreenModel::kColumns;
constexpr int kRows = ScreenModel::kRows;
constexpr unsigned char kTypewriterBlock = 0xDB;
constexpr long long kTypewriterLetterUs = 10'000;

struct Console {
    bool started = false;
    bool plain = false;  // no console: text only
    ScreenModel model;
    ShownScreen shown;
    FramePacing pacing;
    std::array<CHAR_INFO, kColumns * kRows> cells{};  // the model in the console's own terms
    std::array<wchar_t, 256> glyphs{};
    bool cursorVisible = true;
    COORD shownCursor{-1, -1};
};

Console console;

long long nowUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

bool ensureStarted() {
    if (!console.started) {
        console.started = true;
        console.plain = !win32::start();
        // Without a console the bytes go to the output unchanged, line feeds included.
        if (console.plain) _setmode(_fileno(stdout), _O_BINARY);
        // Code page 437 bytes as the Unicode characters that the console shows for them.
        for (int byte = 0; byte < 256; ++byte) {
            const char32_t glyph = cp437ToUnicode(static_cast<unsigned char>(byte));
            console.glyphs[byte] = static_cast<wchar_t>(glyph);
        }
        console.pacing.presented(nowUs());
    }
    return !console.plain;
}

void writeArea(const CellArea& area) {
    for (int row = area.top; row <= area.bottom; ++row) {
        for (int column = area.left; column <= area.right; ++column) {
            const ScreenCell& cell = console.model.at(column, row);
            CHAR_INFO& out = console.cells[row * kColumns + column];
            out.Char.UnicodeChar = console.glyphs[cell.glyph];
            out.Attributes = static_cast<WORD>(cell.attr);  // a foreground colour on black
        }
    }
    SMALL_RECT region{static_cast<SHORT>(area.left), static_cast<SHORT>(area.top),
                      static_cast<SHORT>(area.right), static_cast<SHORT>(area.bottom)};
    WriteConsoleOutputW(win32::screen(), console.cells.data(), COORD{kColumns, kRows},
                        COORD{region.Left, region.Top}, &region);
}

// Brings the console up to date with the model; true when anything had to be sent.
bool present() {
    if (!ensureStarted()) {
        std::fflush(stdout);
        console.pacing.presented(nowUs());
        return false;
    }
    if (win32::takeScreenLost()) console.shown.invalidate();
    const auto area = console.shown.update(console.model);
    if (area) writeArea(*area);
    // The cursor shows where the next output goes, until the game hides it.
    const COORD cursor{static_cast<SHORT>(console.model.cursorColumn()),
                       static_cast<SHORT>(console.model.cursorRow())};
    if (console.cursorVisible &&
        (cursor.X != console.shownCursor.X || cursor.Y != console.shownCursor.Y)) {
        SetConsoleCursorPosition(win32::screen(), cursor);
        console.shownCursor = cursor;
    }
    console.pacing.presented(nowUs());
    return area.has_value();
}

// Sleeps until `deadlineUs`, reading input as it comes and drawing anew after a resize.
void waitUntil(long long deadlineUs) {
    for (;;) {
        if (!console.plain) {
            win32::drainInput();
            if (win32::takeScreenLost()) {
                console.shown.invalidate();
                present();
            }
        }
        const long long leftUs = deadlineUs - nowUs();
        if (leftUs <= 0) return;
        win32::waitForInput(static_cast<int>((leftUs + 999) / 1000));  // rounded up
    }
}

// Waits until input arrives or `deadlineUs` has passed.
void waitForInputUntil(long long deadlineUs) {
    for (long long leftUs = deadlineUs - nowUs(); leftUs > 0; leftUs = deadlineUs - nowUs()) {
        if (win32::waitForInput(static_cast<int>((leftUs + 999) / 1000))) return;
    }
}

// A sweep over the whole picture begins: the previous pass stands complete. At most one per
// frame is shown; a pass that showed nothing new, with no key held, is followed by a longer wait
// that input cuts short, so the menu and the end screens idle instead of repainting.
void frameBoundary() {
    waitUntil(console.pacing.frameDueUs());
    const bool changed = present();
    win32::beginPass();
    if (!changed && !console.plain && !win32::anyKeyDown()) {
        waitForInputUntil(console.pacing.idleDueUs());
        // The frame starts when the wait ends, so the pass that answers the input is shown a
        // frame later, with the rest of the key's tap read by then.
        console.pacing.presented(nowUs());
    }
}

void safetyNet() {
    if (console.plain) return;
    if (console.pacing.safetyNetDue(nowUs)) present();
}

void write(unsigned char byte) {
    if (console.plain) {
        std::putchar(byte);
    } else {
        console.model.write(byte);
    }
}

void write(const char* text) {
    for (; *text != '\0'; ++text) write(static_cast<unsigned char>(*text));
}

}  // namespace

namespace win32 {

void presentScreen() {
    present();
}

}  // namespace win32

// A sweep over the screen starts at (0, 0): the menu and the end screens begin every pass there.
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

// Each character is followed by a full block as a cursor, shown for 10 ms, then erased with
// backspace, space, backspace, which leaves the cursor where the next character goes.
void typeText(const char* text) {
    ensureStarted();
    for (; *text != '\0'; ++text) {
        write(static_cast<unsigned char>(*text));
        write(kTypewriterBlock);
        present();
        win32::beginPass();
        waitUntil(nowUs() + kTypewriterLetterUs);
        write("\b \b");
    }
}

void hideCursor() {
    if (!ensureStarted()) return;
    console.cursorVisible = false;
    CONSOLE_CURSOR_INFO info{};
    GetConsoleCursorInfo(win32::screen(), &info);
    info.bVisible = FALSE;  // the size stays as the console had it
    SetConsoleCursorInfo(win32::screen(), &info);
}

void pauseMs(int ms) {
    ensureStarted();
    present();
    win32::beginPass();
    if (ms > 0) waitUntil(nowUs() + static_cast<long long>(ms) * 1000);
}

long long monotonicMs() {
    return nowUs() / 1000;
}

bool keyPressed(Key key) {
    if (!ensureStarted()) return false;
    win32::drainInput();
    return win32::keyPressed(key, monotonicMs());
}
