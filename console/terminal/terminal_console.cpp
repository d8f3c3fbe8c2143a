// The console primitives on a POSIX terminal.
//
// The game writes into a model of the 100x30 console (the shadow screen); the terminal is brought
// up to date with it only at presentation points, and then only the cells that differ from what
// the terminal already shows are sent:
// - pauses, each letter of the typewriter, and before another program takes the terminal;
// - the start of a sweep over the whole picture, which the game begins by moving the cursor to
//   (0, 0). Loops that repaint the screen without pausing (the menu, the end screens) start
//   every pass that way, and at that moment the picture of the previous pass stands complete.
//   Such a boundary is held to one per frame (~60 Hz): it sleeps, reading input, until the
//   frame is due, so a loop that repaints an unchanged screen idles instead of spinning;
// - as a safety net, any output that has waited for more than a few frames.
// Key polls only read input: the states a loop pass goes through on its way (the menu draws the
// selected box White before it draws it Green) never reach the screen.
//
// When standard output is not a terminal, text goes to it in order, without positions or
// colours, and no key is ever pressed.

#include <poll.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <string>

#include "console/console_primitives.h"
#include "console/screen_model.h"
#include "console/cp437.h"
#include "console/terminal/curses.h"
#include "console/terminal/presenter.h"
#include "console/terminal/terminal_session.h"

namespace {

constexpr long long kFrameUs = 16'000;
constexpr long long kSafetyNetUs = 50'000;
constexpr int kSafetyNetStride = 256;  // output calls between two looks at the clock
constexpr int kSizeCheckMs = 250;
constexpr unsigned char kTypewriterBlock = 0xDB;

struct Console {
    bool started = false;
    bool plain = false;  // no terminal: text only
    ScreenModel model;

    // What the terminal shows of the model, valid once everything was sent.
    std::array<ScreenCell, ScreenModel::kColumns * ScreenModel::kRows> shown{};
    bool shownValid = false;
    unsigned long long shownChanges = 0;
    long long lastFrameUs = 0;
    int callsSinceClockCheck = 0;

    // The terminal's size and where the console's picture sits in it.
    int rows = 0;
    int columns = 0;
    int originRow = 0;
    int originColumn = 0;
    bool sizeMessageShown = false;

    std::array<wchar_t, 256> unicodeGlyphs{};
    std::array<attr_t, 16> attrs{};
    std::array<short, 16> pairs{};
};

Console console;

long long nowUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

// ---- Colours and glyphs.

// Console attributes are bit sets (1 blue, 2 green, 4 red, 8 bright); curses numbers colours
// the other way round (1 red, 4 blue). Bright colours exist only on terminals with 16 colours;
// elsewhere bold brightens the base colour.
struct TerminalColour {
    short base;
    bool bright;
};

TerminalColour terminalColour(Colour colour) {
    switch (colour) {
        case Colour::Blue:
            return {COLOR_BLUE, false};
        case Colour::Green:
            return {COLOR_GREEN, false};
        case Colour::Aqua:
            return {COLOR_CYAN, false};
        case Colour::Red:
            return {COLOR_RED, false};
        case Colour::Purple:
            return {COLOR_MAGENTA, false};
        case Colour::Yellow:
            return {COLOR_YELLOW, false};
        case Colour::White:
            return {COLOR_WHITE, false};
        case Colour::Gray:
            return {COLOR_BLACK, true};
        case Colour::LightBlue:
            return {COLOR_BLUE, true};
    }
    return {COLOR_WHITE, false};
}

constexpr Colour kColours[] = {Colour::Blue,  Colour::Green,  Colour::Aqua,
                               Colour::Red,   Colour::Purple, Colour::Yellow,
                               Colour::White, Colour::Gray,   Colour::LightBlue};

void setUpLooks() {
    const bool colours = has_colors() && COLOR_PAIRS > 9;
    for (const Colour colour : kColours) {
        const auto index = static_cast<std::size_t>(colour);
        const TerminalColour look = terminalColour(colour);
        if (!colours) continue;
        const auto pair = static_cast<short>(index);
        const bool sixteen = terminal::sixteenColours();
        const short foreground = look.bright && sixteen ? look.base + 8 : look.base;
        init_pair(pair, foreground, COLOR_BLACK);  // always on black, whatever the terminal's own
        console.pairs[index] = pair;
        console.attrs[index] = look.bright && !sixteen ? A_BOLD : A_NORMAL;
    }
    // Cleared cells and the margins around the picture are black as well.
    bkgdset(' ' | COLOR_PAIR(console.pairs[static_cast<std::size_t>(Colour::White)]));

    for (int byte = 0; byte < 256; ++byte) {
        auto glyph = static_cast<wchar_t>(cp437ToUnicode(static_cast<unsigned char>(byte)));
        if (wcwidth(glyph) != 1) glyph = L' ';  // never let a glyph take two cells
        console.unicodeGlyphs[byte] = glyph;
    }
}

void updateGeometry() {
    getmaxyx(stdscr, console.rows, console.columns);
    console.originRow = std::max(0, (console.rows - ScreenModel::kRows) / 2);
    console.originColumn = std::max(0, (console.columns - ScreenModel::kColumns) / 2);
}

bool ensureStarted() {
    if (!console.started) {
        console.started = true;
        console.plain = !terminal::start();
        if (!console.plain) {
            setUpLooks();
            updateGeometry();
        }
        console.lastFrameUs = nowUs();
    }
    return !console.plain;
}

void drawCell(int column, int row, const ScreenCell& cell) {
    const auto index = static_cast<std::size_t>(cell.attr) & 15;
    const int y = console.originRow + row;
    const int x = console.originColumn + column;
    if (terminal::unicode()) {
        const wchar_t text[2] = {console.unicodeGlyphs[cell.glyph], L'\0'};
        cchar_t wide;
        setcchar(&wide, text, console.attrs[index], console.pairs[index], nullptr);
        mvwadd_wch(stdscr, y, x, &wide);
    } else {
        const auto ascii = static_cast<unsigned char>(cp437ToAscii(cell.glyph));
        mvwaddch(stdscr, y, x, ascii | console.attrs[index] | COLOR_PAIR(console.pairs[index]));
    }
}

// ---- Size, resize and continuation.

void serviceSignals() {
    int rows = 0;
    int columns = 0;
    if (terminal::takeResized(rows, columns)) {
        resize_term(rows, columns);
        updateGeometry();
        console.shownValid = false;
        console.sizeMessageShown = false;
    }
    if (terminal::takeContinued()) {
        console.shownValid = false;
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
    werase(stdscr);
    clearok(curscr, TRUE);
    const auto white = static_cast<std::size_t>(Colour::White);
    wattrset(stdscr, static_cast<int>(COLOR_PAIR(console.pairs[white])));
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
    console.shownValid = false;
}

// ---- Presentation.

void present() {
    if (!ensureStarted()) {
        std::fflush(stdout);
        console.lastFrameUs = nowUs();
        return;
    }
    serviceSignals();
    if (tooSmall()) waitForRoom();
    console.lastFrameUs = nowUs();
    if (console.shownValid && console.model.changeCount() == console.shownChanges) return;

    const bool everything = !console.shownValid;
    if (everything) {
        werase(stdscr);
        clearok(curscr, TRUE);
    }
    bool changed = everything;
    for (int row = 0; row < ScreenModel::kRows; ++row) {
        for (int column = 0; column < ScreenModel::kColumns; ++column) {
            const ScreenCell& cell = console.model.at(column, row);
            ScreenCell& shown = console.shown[row * ScreenModel::kColumns + column];
            if (!everything && cell == shown) continue;
            drawCell(column, row, cell);
            shown = cell;
            changed = true;
        }
    }
    console.shownValid = true;
    console.shownChanges = console.model.changeCount();
    if (changed) wrefresh(stdscr);
}

// Sleeps until `deadlineUs`, reading input as it comes and repainting after a resize.
void waitUntil(long long deadlineUs) {
    for (;;) {
        if (!console.plain) {
            serviceSignals();
            if (!console.shownValid) present();
        }
        const long long leftUs = deadlineUs - nowUs();
        if (leftUs <= 0) return;
        const int leftMs = static_cast<int>((leftUs + 999) / 1000);  // rounded up
        if (console.plain) {
            poll(nullptr, 0, leftMs);
        } else {
            terminal::waitForInput(leftMs);
        }
    }
}

void frameBoundary() {
    ensureStarted();
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
    if (byte < 0x80 || !terminal::unicode()) {
        std::putchar(byte < 0x80 ? byte : cp437ToAscii(byte));
        return;
    }
    const char32_t code = cp437ToUnicode(byte);  // U+00A0 to U+25A0: two or three bytes
    if (code < 0x800) {
        std::putchar(static_cast<int>(0xC0 | (code >> 6)));
    } else {
        std::putchar(static_cast<int>(0xE0 | (code >> 12)));
        std::putchar(static_cast<int>(0x80 | ((code >> 6) & 0x3F)));
    }
    std::putchar(static_cast<int>(0x80 | (code & 0x3F)));
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
}

void repaintScreen() {
    console.shownValid = false;
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
    terminal::drainInput();
    return terminal::keys().query(key, terminal::nowMs());
}
