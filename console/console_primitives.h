// The console primitives every screen of the game is built from.
//
// The game draws cell by cell on a console of 100 columns by 30 rows and never reads the screen
// back: a cell shows what was last written there. Colours are console text attributes on a black
// background; glyphs are single bytes shown as code page 437 shows them.
//
// One implementation is linked into each program: the shadow console (shadow_console.h) with the
// backend of its platform (console/terminal, console/win32, console/web), or the headless test
// console (console/headless).
//
// Frames. A backend may keep the picture to itself and show it only at the points below, so
// that the states a loop pass goes through on its way (the menu draws the selected box White,
// then Green) never reach the screen. What the game may rely on, and what a backend may do:
// - gotoXY(0, 0) starts a sweep over the whole picture: loops that repaint without pausing (the
//   menu, the end screens) begin every pass with it. The picture drawn before it is complete, so
//   the backend may show it there, and may wait before returning, so that such a loop repaints
//   at the display's pace instead of spinning: up to one frame (about 16 ms), or, when the pass
//   before changed nothing and no key is down, until input arrives (nothing else can change the
//   picture then; a terminal sleeps until a key, a resize or a signal, the Windows console at
//   most a quarter of a second, a web page for one animation frame). The first such call after a
//   clear starts the first sweep and shows nothing.
// - pauseMs and each letter of typeText show everything drawn before them, then wait. A backend
//   may read input while it waits.
// - keyPressed reads input and shows nothing.
// - showHelpFile (services.h) shows the picture before it hands the console over.
// - Output that has waited for several frames may be shown at any call that draws.
// Nothing else waits, except that showing may hold the game while the screen cannot take the
// picture at all (a terminal window made too small). The test console shows nothing and waits
// on a virtual clock only.
#pragma once

#include <cstdint>

// Console text attributes used by the game, by their console numbers.
enum class Colour : std::uint8_t {
    Blue = 1,
    Green = 2,
    Aqua = 3,
    Red = 4,
    Purple = 5,
    Yellow = 6,
    White = 7,
    Gray = 8,
    LightBlue = 9,
};

// The keys the game polls, by their virtual-key codes.
enum class Key : std::uint8_t {
    Enter = 0x0D,
    Left = 0x25,
    Up = 0x26,
    Right = 0x27,
    Down = 0x28,
};

// Size of the console picture the game draws on.
inline constexpr int kConsoleColumns = 100;
inline constexpr int kConsoleRows = 30;

// Handle of the console's standard output, fetched once during static initialisation and kept
// for the whole run. What it points to belongs to the linked backend.
using ConsoleHandle = void*;
extern ConsoleHandle consoleOut;

// Moves the output cursor to (column, row); the next output starts there. At (0, 0) it starts a
// frame: the picture so far may be shown and the call may wait up to one frame (see above).
void gotoXY(int column, int row);

// Later output is drawn in this attribute. The attribute survives clearing and positioning.
void setColor(Colour attribute);

// Blanks the whole console and puts the cursor at (0, 0).
void clearScreen();

// Writes one code page 437 byte at the cursor; the cursor moves one column right.
void putGlyph(unsigned char code);

// Writes a zero-terminated string at the cursor. "\n" moves to column 0 of the next row without
// erasing anything; text reaching column 100 goes on at column 0 of the next row; the console
// scrolls up one row when either happens on the last row.
void putText(const char* text);

// Writes a signed number in decimal: no padding, a minus sign when negative.
void putNumber(std::int32_t value);

// Typewriter output: each character is written with a full block behind it as a cursor, held for
// 10 ms, then the block is erased. No colour is set.
void typeText(const char* text);

// Makes the console cursor invisible, keeping its size.
void hideCursor();

// Shows the picture drawn so far, then suspends the program for the given number of
// milliseconds.
void pauseMs(int ms);

// Milliseconds on a monotonic clock, from an arbitrary start. Screens that pace themselves by
// time rather than by loop passes read it; the test console's clock is virtual.
long long monotonicMs();

// True when the key is down now or has been pressed since the previous query of that key. Reads
// pending input; shows nothing and does not wait.
bool keyPressed(Key key);
