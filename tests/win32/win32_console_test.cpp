// The Windows backend in this test program's own console: what its screen buffer shows after
// the primitives ran and a presentation point passed, and what the key polls make of the
// console's input events.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "console/console_primitives.h"
#include "tests/win32/console_reader.h"

namespace {

using consoletest::activePicture;
using consoletest::keyEvent;
using consoletest::tap;
using consoletest::type;

constexpr WORD kEnter = VK_RETURN;
constexpr WORD kRight = VK_RIGHT;
constexpr int kNextPassMs = 20;  // passes of the game's loops are at least a frame apart

// Text is drawn into the shadow screen and shown at the pause: each glyph, text and number
// lands where and in the colour set just before it, over whatever stood there.
TEST(Win32Console, PrimitivesDrawWhereAndInTheColourSetBeforeThem) {
    const std::string glyphs =
        "\xB0\xB1\xB2\xB9\xBA\xBB\xBC\xC8\xC9\xCA\xCB\xCC\xCD\xCE\xDB\xDD\xDE\xDF\xFE";
    gotoXY(0, 1);
    putText("maze");
    setColor(Colour::Purple);
    clearScreen();
    hideCursor();
    const auto start = std::chrono::steady_clock::now();
    typeText("ab\nc");
    const auto took = std::chrono::steady_clock::now() - start;
    typeText("");
    putText("d");
    gotoXY(10, 3);
    for (std::size_t i = 0; i < glyphs.size(); ++i) {
        setColor(static_cast<Colour>(1 + i % 9));
        putGlyph(static_cast<unsigned char>(glyphs[i]));
    }
    gotoXY(69, 20);
    setColor(Colour::Red);
    putText("Time: ");
    putNumber(1000);
    gotoXY(75, 20);
    setColor(Colour::Green);
    putNumber(999);
    pauseMs(0);

    const auto picture = activePicture();
    // Typed from the top left corner with no block left behind, on a cleared screen.
    EXPECT_EQ(picture.text(0, 0, 3), L"ab ");
    EXPECT_EQ(picture.text(0, 1, 4), L"cd  ");
    EXPECT_EQ(picture.attribute(1, 0), 5);
    EXPECT_GE(took, std::chrono::milliseconds(40));  // ten milliseconds a letter
    EXPECT_EQ(picture.text(10, 3, 19), L"░▒▓╣║╗╝╚╔╩╦╠═╬█▌▐▀■");
    for (int i = 0; i < 19; ++i) EXPECT_EQ(picture.attribute(10 + i, 3), 1 + i % 9) << i;
    EXPECT_EQ(picture.text(69, 20, 11), L"Time: 9990 ");
    EXPECT_EQ(std::vector({picture.attribute(74, 20), picture.attribute(75, 20),
                           picture.attribute(78, 20)}),
              std::vector<WORD>({4, 2, 4}));
    const HANDLE screen = consoletest::openActiveScreen();
    CONSOLE_CURSOR_INFO cursor{};
    GetConsoleCursorInfo(screen, &cursor);
    CloseHandle(screen);
    EXPECT_FALSE(cursor.bVisible);
}

// A pass that draws a cell White and then Green shows only Green; a pass that changes nothing
// sends nothing (a cell changed behind the game's back stays), and a changed cell sends only
// what is needed; a resize of the buffer draws everything anew.
TEST(Win32Console, OnlyFinishedPassesReachTheScreenAndOnlyWhatChanged) {
    const auto pass = [](const char* text) {
        gotoXY(5, 5);
        setColor(Colour::White);
        putText(text);
        gotoXY(5, 5);
        setColor(Colour::Green);
        putText(text);
        pauseMs(0);
    };
    const auto scribble = [] {
        const HANDLE screen = consoletest::openActiveScreen();
        CHAR_INFO mark{};
        mark.Char.UnicodeChar = L'Q';
        mark.Attributes = FOREGROUND_RED;
        SMALL_RECT cell{50, 10, 50, 10};
        WriteConsoleOutputW(screen, &mark, COORD{1, 1}, COORD{0, 0}, &cell);
        CloseHandle(screen);
    };

    clearScreen();
    pass("x");
    EXPECT_EQ(activePicture().attribute(5, 5), FOREGROUND_GREEN);
    scribble();
    pass("x");
    EXPECT_EQ(activePicture().text(50, 10, 1), L"Q");
    pass("xy");
    EXPECT_EQ(activePicture().text(5, 5, 2), L"xy");
    EXPECT_EQ(activePicture().text(50, 10, 1), L"Q");

    INPUT_RECORD resized{};
    resized.EventType = WINDOW_BUFFER_SIZE_EVENT;
    resized.Event.WindowBufferSizeEvent.dwSize = COORD{100, 30};
    type({resized});
    keyPressed(Key::Enter);  // reads the input
    pauseMs(0);
    EXPECT_EQ(activePicture().text(50, 10, 1), L" ");
}

// How many of a menu pass's four polls of `key` see it: the menu asks for Enter once per item.
int polls(Key key) {
    int seen = 0;
    for (int item = 0; item < 4; ++item) seen += keyPressed(key) ? 1 : 0;
    return seen;
}

TEST(Win32Console, KeysAreThoseTypedIntoTheConsole) {
    hideCursor();
    pauseMs(kNextPassMs);

    // A tap read before a pass counts on every query of that pass, however slow, and no more.
    tap(kEnter);
    EXPECT_EQ(polls(Key::Enter), 4);
    Sleep(50);
    EXPECT_TRUE(keyPressed(Key::Enter));
    pauseMs(kNextPassMs);
    EXPECT_EQ(polls(Key::Enter), 0);

    // A held key counts pass after pass until it is let go.
    type({keyEvent(kRight, true)});
    for (int tick = 0; tick < 3; ++tick) {
        EXPECT_TRUE(keyPressed(Key::Right)) << tick;
        pauseMs(kNextPassMs);
    }
    type({keyEvent(kRight, false)});
    EXPECT_FALSE(keyPressed(Key::Right));

    // A release without its press (the Enter that started the program from a prompt) and
    // letters do not act; a key held while the window loses the keyboard is let go.
    type({keyEvent(kEnter, false), keyEvent('A', true, L'a'), keyEvent('A', false, L'a'),
          keyEvent(kRight, true)});
    pauseMs(kNextPassMs);
    EXPECT_EQ(polls(Key::Enter), 0);
    EXPECT_TRUE(keyPressed(Key::Right));
    INPUT_RECORD focusLost{};
    focusLost.EventType = FOCUS_EVENT;
    focusLost.Event.FocusEvent.bSetFocus = FALSE;
    type({focusLost});
    pauseMs(kNextPassMs);
    EXPECT_FALSE(keyPressed(Key::Right));
}

}  // namespace
