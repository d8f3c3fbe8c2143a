#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <string>
#include <utility>

#include "console/console_primitives.h"

namespace {

// A fresh 100 x 30 console screen buffer. draw() points standard output, its handle and
// consoleOut at it while the primitives run, and back afterwards, so the test framework's own
// output never lands in it; the checks then read the buffer back.
class Win32Console : public testing::Test {
  protected:
    void SetUp() override {
        SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};  // for cmd's "cls"
        buffer_ = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                            CONSOLE_TEXTMODE_BUFFER, nullptr);
        ASSERT_NE(buffer_, INVALID_HANDLE_VALUE) << "this process has no console";
        const SMALL_RECT tiny{0, 0, 0, 0}, full{0, 0, kConsoleColumns - 1, kConsoleRows - 1};
        SetConsoleWindowInfo(buffer_, TRUE, &tiny);  // the window must fit the buffer throughout
        SetConsoleScreenBufferSize(buffer_, COORD{kConsoleColumns, kConsoleRows});
        SetConsoleWindowInfo(buffer_, TRUE, &full);
        fd_ = _open_osfhandle(reinterpret_cast<intptr_t>(buffer_), _O_WRONLY);
    }
    void TearDown() override {
        if (fd_ >= 0) _close(fd_);  // closes the buffer too
    }

    template <typename Drawing>
    void draw(Drawing drawing) {
        const int savedFd = _dup(1);
        const HANDLE savedHandle = GetStdHandle(STD_OUTPUT_HANDLE);
        const ConsoleHandle savedConsoleOut = consoleOut;
        const int mode = _setmode(1, _O_BINARY);  // as the backend left it
        _dup2(fd_, 1);
        _setmode(1, mode);
        SetStdHandle(STD_OUTPUT_HANDLE, buffer_);
        consoleOut = buffer_;
        drawing();
        std::cout.flush();
        consoleOut = savedConsoleOut;
        SetStdHandle(STD_OUTPUT_HANDLE, savedHandle);
        _dup2(savedFd, 1);
        _close(savedFd);
    }

    // The characters shown from (column, row) on, as the console holds them: in Unicode.
    std::wstring textAt(int column, int row, int count) const {
        std::wstring text(count, L'\0');
        DWORD read = 0;
        ReadConsoleOutputCharacterW(buffer_, text.data(), count, cell(column, row), &read);
        return text.substr(0, read);
    }
    WORD attributeAt(int column, int row) const {
        WORD attribute = 0;
        DWORD read = 0;
        ReadConsoleOutputAttribute(buffer_, &attribute, 1, cell(column, row), &read);
        return attribute;
    }
    std::pair<int, int> cursor() const {
        CONSOLE_SCREEN_BUFFER_INFO info{};
        GetConsoleScreenBufferInfo(buffer_, &info);
        return {info.dwCursorPosition.X, info.dwCursorPosition.Y};
    }
    static COORD cell(int column, int row) {
        return COORD{static_cast<SHORT>(column), static_cast<SHORT>(row)};
    }

    HANDLE buffer_ = INVALID_HANDLE_VALUE;
    int fd_ = -1;
};

TEST_F(Win32Console, GlyphBytesShowAsCodePage437InEveryColour) {
    const std::string glyphs =
        "\xB0\xB1\xB2\xB9\xBA\xBB\xBC\xC8\xC9\xCA\xCB\xCC\xCD\xCE\xDB\xDD\xDE\xDF\xFE";
    draw([&] {
        gotoXY(10, 3);
        setColor(Colour::LightBlue);
        for (const char glyph : glyphs) putGlyph(static_cast<unsigned char>(glyph));
        for (int attribute = 1; attribute <= 9; ++attribute) {
            gotoXY(attribute, 5);
            setColor(static_cast<Colour>(attribute));
            putGlyph(0xDB);
        }
    });
    EXPECT_EQ(textAt(10, 3, 19), L"░▒▓╣║╗╝╚╔╩╦╠═╬█▌▐▀■");
    EXPECT_EQ(attributeAt(28, 3), 9);
    for (int attribute = 1; attribute <= 9; ++attribute)
        EXPECT_EQ(attributeAt(attribute, 5), attribute);
}

// Text is buffered by the stream, positions and colours are not: each text must still land where
// and in the colour set just before it, over whatever stood there.
TEST_F(Win32Console, TextAndNumbersLandWhereAndInTheColourSetBeforeThem) {
    draw([] {
        gotoXY(0, 8);
        putText("XXXXXXXX");
        gotoXY(69, 20);
        setColor(Colour::Red);
        putText("Time: ");
        putNumber(1000);
        gotoXY(75, 20);
        setColor(Colour::Green);
        putNumber(999);
        gotoXY(69, 26);
        putNumber(-2147483647 - 1);
        gotoXY(5, 7);
        putText("ef\ngh");
    });
    EXPECT_EQ(textAt(69, 20, 11), L"Time: 9990 ");
    EXPECT_EQ(attributeAt(74, 20), 4);
    EXPECT_EQ(attributeAt(75, 20), 2);
    EXPECT_EQ(attributeAt(78, 20), 4);
    EXPECT_EQ(textAt(69, 26, 12), L"-2147483648 ");
    // A line break goes to column 0 of the next row and erases nothing there.
    EXPECT_EQ(textAt(5, 7, 2), L"ef");
    EXPECT_EQ(textAt(0, 8, 8), L"ghXXXXXX");
    EXPECT_EQ(cursor(), std::make_pair(2, 8));
}

TEST_F(Win32Console, TypedTextLeavesNoBlockAndTakesTenMillisecondsALetter) {
    std::chrono::steady_clock::duration took{};
    draw([&] {
        gotoXY(3, 4);
        setColor(Colour::Yellow);
        typeText("");
        const auto start = std::chrono::steady_clock::now();
        typeText("ab\nc");
        took = std::chrono::steady_clock::now() - start;
    });
    EXPECT_EQ(textAt(3, 4, 3), L"ab ");
    EXPECT_EQ(textAt(0, 5, 2), L"c ");
    EXPECT_EQ(attributeAt(4, 4), 6);
    EXPECT_EQ(cursor(), std::make_pair(1, 5));
    EXPECT_GE(took, std::chrono::milliseconds(40));
}

TEST_F(Win32Console, ClearingBlanksEverythingAndKeepsTheColourHidingKeepsTheCursorSize) {
    const CONSOLE_CURSOR_INFO big{50, TRUE};
    SetConsoleCursorInfo(buffer_, &big);
    draw([] {
        gotoXY(50, 15);
        putText("maze");
        setColor(Colour::Purple);
        clearScreen();
        putText("z");
        hideCursor();
    });
    EXPECT_EQ(textAt(0, 0, 2), L"z ");
    EXPECT_EQ(attributeAt(0, 0), 5);
    EXPECT_EQ(textAt(50, 15, 4), L"    ");
    EXPECT_EQ(cursor(), std::make_pair(1, 0));
    CONSOLE_CURSOR_INFO cursorInfo{};
    GetConsoleCursorInfo(buffer_, &cursorInfo);
    EXPECT_FALSE(cursorInfo.bVisible);
    EXPECT_EQ(cursorInfo.dwSize, 50u);
}

// The output code page belongs to the console, shared with the shell that started the game: the
// game runs in code page 437 and gives the old one back when it ends.
TEST(Win32ConsoleCodePage, Is437WhileTheGameRunsAndRestoredAtExit) {
    ASSERT_TRUE(SetConsoleOutputCP(850)) << "this process has no console";
    wchar_t program[MAX_PATH];
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(program) + L"\" --exit-with-output-code-page";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process));
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD whileRunning = 0;
    GetExitCodeProcess(process.hProcess, &whileRunning);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    const UINT after = GetConsoleOutputCP();
    SetConsoleOutputCP(437);
    EXPECT_EQ(whileRunning, 437u);
    EXPECT_EQ(after, 850u);
}

}  // namespace
