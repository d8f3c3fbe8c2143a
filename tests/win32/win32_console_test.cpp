// The Windows backend in this test program's own console: what its screen buffer shows once the
// shadow console presents a picture (glyphs, colours, only the changed area, all after a resize)
// and which keys it makes of the console's input events. When pictures are shown and how a tap
// counts across polls is the shared core's, tested headless.
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
using consoletest::type;

constexpr int kNextPassMs = 20;  // passes of the game's loops are at least a frame apart

// Every glyph of the maze in the colour set just before it; a shorter number over a longer one;
// the typewriter's waits really pass.
TEST(Win32Console, GlyphsAndNumbersShowInTheirColours) {
    const std::string glyphs =
        "\xB0\xB1\xB2\xB9\xBA\xBB\xBC\xC8\xC9\xCA\xCB\xCC\xCD\xCE\xDB\xDD\xDE\xDF\xFE";
    clearScreen();
    hideCursor();
    const auto start = std::chrono::steady_clock::now();
    typeText("abcd");
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(40));
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
    EXPECT_EQ(picture.text(0, 0, 5), L"abcd ");
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

// A pass that changes nothing writes nothing, a changed cell writes the smallest area around the
// changes and no more (marks left behind the game's back beside it stay), and a resize of the
// buffer draws everything anew.
TEST(Win32Console, OnlyTheChangedAreaIsWrittenUntilTheBufferIsResized) {
    const auto pass = [](const char* text) {
        gotoXY(5, 5);
        putText(text);
        pauseMs(0);
    };
    const auto marks = [] { return activePicture().text(4, 4, 4) + activePicture().text(4, 5, 4); };
    clearScreen();
    pass("x");
    const HANDLE screen = consoletest::openActiveScreen();
    CHAR_INFO mark[8];
    for (CHAR_INFO& cell : mark) cell = CHAR_INFO{{L'Q'}, FOREGROUND_RED};
    SMALL_RECT area{4, 4, 7, 5};
    WriteConsoleOutputW(screen, mark, COORD{4, 2}, COORD{0, 0}, &area);
    CloseHandle(screen);
    pass("QQ");  // (5, 5) and (6, 5) as the game draws them over the marks
    pass("Qy");
    pass("Qy");
    EXPECT_EQ(marks(), L"QQQQQQyQ");

    INPUT_RECORD resized{};
    resized.EventType = WINDOW_BUFFER_SIZE_EVENT;
    resized.Event.WindowBufferSizeEvent.dwSize = COORD{100, 30};
    type({resized});
    keyPressed(Key::Enter);  // reads the input
    pauseMs(0);
    EXPECT_EQ(marks(), L"     Qy ");
}

// Key-down and key-up records of the arrows and Enter are the game's keys; a release without its
// press (the Enter that started the program from a prompt) and letters do not act, and a key held
// while the window loses the keyboard is let go.
TEST(Win32Console, KeysAreThoseTypedIntoTheConsole) {
    pauseMs(kNextPassMs);
    consoletest::tap(VK_RETURN);
    EXPECT_TRUE(keyPressed(Key::Enter));
    pauseMs(kNextPassMs);
    type({keyEvent(VK_RIGHT, true)});
    for (int tick = 0; tick < 3; ++tick) {
        EXPECT_TRUE(keyPressed(Key::Right)) << tick;
        pauseMs(kNextPassMs);
    }
    type({keyEvent(VK_RIGHT, false), keyEvent(VK_RETURN, false), keyEvent('A', true, L'a'),
          keyEvent('A', false, L'a'), keyEvent(VK_UP, true)});
    pauseMs(kNextPassMs);
    EXPECT_FALSE(keyPressed(Key::Right));
    EXPECT_FALSE(keyPressed(Key::Enter));
    EXPECT_TRUE(keyPressed(Key::Up));
    INPUT_RECORD focusLost{};
    focusLost.EventType = FOCUS_EVENT;
    focusLost.Event.FocusEvent.bSetFocus = FALSE;
    type({focusLost});
    pauseMs(kNextPassMs);
    EXPECT_FALSE(keyPressed(Key::Up));
}

}  // namespace
