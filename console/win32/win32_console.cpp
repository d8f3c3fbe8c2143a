// The Windows backend of the shadow console (console_backend.h).
//
// The console's screen buffer, one of the game's own, is brought up to date with the picture by
// writing the smallest rectangle holding every changed cell in a single WriteConsoleOutputW call.
// Every console call is a round trip to the console's host process; drawing the menu cell by cell
// took thousands of them per pass and let the player watch the picture being drawn.
//
// When standard output is not a console, the text goes to it plainly, as the code page 437 bytes
// the game wrote, and no key is ever pressed.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <array>
#include <chrono>
#include <cstdio>

#include "console/console_backend.h"
#include "console/console_primitives.h"
#include "console/cp437.h"
#include "console/screen_model.h"
#include "console/shadow_console.h"
#include "console/win32/win32_session.h"

ConsoleHandle consoleOut = GetStdHandle(STD_OUTPUT_HANDLE);

namespace {

constexpr int kColumns = ScreenModel::kColumns;
constexpr int kRows = ScreenModel::kRows;
// The console reports keys, focus and buffer resizes as input; a wait for input still ends after
// a quarter of a second, as a bound on anything it does not report.
constexpr long long kInputWaitUs = 250'000;

struct Console {
    bool screen = false;  // a console of the game's own (not plain text)
    ShownScreen shown;
    std::array<CHAR_INFO, kColumns * kRows> cells{};  // the picture in the console's own terms
    std::array<wchar_t, 256> glyphs{};
    bool cursorVisible = true;
    COORD shownCursor{-1, -1};
};

Console console;

int millisecondsUntil(long long deadlineUs) {
    return static_cast<int>((deadlineUs - backend::nowUs() + 999) / 1000);  // rounded up
}

void writeArea(const ScreenModel& picture, const CellArea& area) {
    for (int row = area.top; row <= area.bottom; ++row) {
        for (int column = area.left; column <= area.right; ++column) {
            const ScreenCell& cell = picture.at(column, row);
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

}  // namespace

namespace backend {

Output start() {
    console.screen = win32::start();
    if (!console.screen) {
        // The bytes go to the output unchanged, line feeds included.
        _setmode(_fileno(stdout), _O_BINARY);
        return Output::PlainBytes;
    }
    // Code page 437 bytes as the Unicode characters that the console shows for them.
    for (int byte = 0; byte < 256; ++byte) {
        console.glyphs[byte] =
            static_cast<wchar_t>(cp437ToUnicode(static_cast<unsigned char>(byte)));
    }
    return Output::Screen;
}

long long nowUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

bool present(const ScreenModel& picture) {
    if (win32::takeScreenLost()) console.shown.invalidate();
    const auto area = console.shown.update(picture);
    if (area) writeArea(picture, *area);
    // The cursor shows where the next output goes, until the game hides it.
    const COORD cursor{static_cast<SHORT>(picture.cursorColumn()),
                       static_cast<SHORT>(picture.cursorRow())};
    if (console.cursorVisible &&
        (cursor.X != console.shownCursor.X || cursor.Y != console.shownCursor.Y)) {
        SetConsoleCursorPosition(win32::screen(), cursor);
        console.shownCursor = cursor;
    }
    return area.has_value();
}

// Reads input as it comes and draws anew after a resize.
void sleepUntil(long long deadlineUs, Sleep) {
    for (;;) {
        if (console.screen) {
            win32::drainInput();
            if (win32::takeScreenLost()) {
                console.shown.invalidate();
                shadow::present();
            }
        }
        if (nowUs() >= deadlineUs) return;
        win32::waitForInput(millisecondsUntil(deadlineUs));
    }
}

void sleepUntilInput() {
    const long long deadlineUs = nowUs() + kInputWaitUs;
    while (nowUs() < deadlineUs) {
        if (win32::waitForInput(millisecondsUntil(deadlineUs))) return;
    }
}

// Console input waits in its buffer until it is read: nothing else needs a turn.
void giveTurn() {}

void readInput() {
    win32::drainInput();
}

void hideCursor() {
    console.cursorVisible = false;
    CONSOLE_CURSOR_INFO info{};
    GetConsoleCursorInfo(win32::screen(), &info);
    info.bVisible = FALSE;  // the size stays as the console had it
    SetConsoleCursorInfo(win32::screen(), &info);
}

}  // namespace backend
