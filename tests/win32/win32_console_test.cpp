#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>

#include "console/console_primitives.h"
#include "console/win32/windows_path.h"

namespace {

// A fresh 100 x 30 console screen buffer. draw() points the standard output, its handle and
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
        // The window must fit inside the buffer at every step.
        const SMALL_RECT small{0, 0, 0, 0};
        const SMALL_RECT full{0, 0, kConsoleColumns - 1, kConsoleRows - 1};
        SetConsoleWindowInfo(buffer_, TRUE, &small);
        SetConsoleScreenBufferSize(buffer_, COORD{kConsoleColumns, kConsoleRows});
        SetConsoleWindowInfo(buffer_, TRUE, &full);
        ASSERT_EQ(info().dwSize.X, kConsoleColumns);
        ASSERT_EQ(info().dwSize.Y, kConsoleRows);
        bufferFd_ = _open_osfhandle(reinterpret_cast<intptr_t>(buffer_), _O_WRONLY | _O_TEXT);
    }

    void TearDown() override {
        if (bufferFd_ >= 0) _close(bufferFd_);  // closes the buffer too
    }

    template <typename Drawing>
    void draw(Drawing drawing) {
        std::cout.flush();
        const int savedFd = _dup(1);
        const HANDLE savedHandle = GetStdHandle(STD_OUTPUT_HANDLE);
        const ConsoleHandle savedConsoleOut = consoleOut;
        const int mode = _setmode(1, _O_BINARY);  // as the backend left it
        _dup2(bufferFd_, 1);
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

    CONSOLE_SCREEN_BUFFER_INFO info() const {
        CONSOLE_SCREEN_BUFFER_INFO result{};
        GetConsoleScreenBufferInfo(buffer_, &result);
        return result;
    }
    std::pair<int, int> cursor() const {
        return {info().dwCursorPosition.X, info().dwCursorPosition.Y};
    }

    // The bytes shown from (column, row) on, as code page 437 reads them.
    std::string bytesAt(int column, int row, int count) const {
        std::string text(count, '\0');
        DWORD read = 0;
        ReadConsoleOutputCharacterA(buffer_, text.data(), count, cell(column, row), &read);
        text.resize(read);
        return text;
    }
    std::wstring charactersAt(int column, int row, int count) const {
        std::wstring text(count, L'\0');
        DWORD read = 0;
        ReadConsoleOutputCharacterW(buffer_, text.data(), count, cell(column, row), &read);
        text.resize(read);
        return text;
    }
    WORD attributeAt(int column, int row) const {
        WORD attribute = 0;
        DWORD read = 0;
        ReadConsoleOutputAttribute(buffer_, &attribute, 1, cell(column, row), &read);
        return attribute;
    }
    static COORD cell(int column, int row) {
        return COORD{static_cast<SHORT>(column), static_cast<SHORT>(row)};
    }

    HANDLE buffer_ = INVALID_HANDLE_VALUE;
    int bufferFd_ = -1;
};

TEST_F(Win32Console, GlyphBytesShowAsCodePage437InTheirColours) {
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
    EXPECT_EQ(GetConsoleOutputCP(), 437u);
    EXPECT_EQ(bytesAt(10, 3, 19), glyphs);
    EXPECT_EQ(charactersAt(10, 3, 19), L"░▒▓╣║╗╝╚╔╩╦╠═╬█▌▐▀■");
    EXPECT_EQ(attributeAt(28, 3), 9);
    for (int attribute = 1; attribute <= 9; ++attribute) {
        EXPECT_EQ(attributeAt(attribute, 5), attribute) << "colour " << attribute;
    }
}

// Text is buffered by the stream, positions and colours are not: each text must still land where
// and in the colour set just before it.
TEST_F(Win32Console, TextLandsAtThePositionAndInTheColourSetBeforeIt) {
    draw([] {
        gotoXY(0, 8);
        putText("XXXXXXXX");
        gotoXY(69, 20);
        setColor(Colour::Red);
        putText("ab");
        setColor(Colour::Green);
        putText("cd");
        gotoXY(69, 20);
        setColor(Colour::White);
        putText("A");
        gotoXY(5, 7);
        putText("ef\ngh");
    });
    EXPECT_EQ(bytesAt(69, 20, 4), "Abcd");
    EXPECT_EQ(attributeAt(69, 20), 7);
    EXPECT_EQ(attributeAt(70, 20), 4);
    EXPECT_EQ(attributeAt(71, 20), 2);
    // A line break goes to column 0 of the next row and erases nothing there.
    EXPECT_EQ(bytesAt(5, 7, 2), "ef");
    EXPECT_EQ(bytesAt(0, 8, 8), "ghXXXXXX");
    EXPECT_EQ(cursor(), std::make_pair(2, 8));
}

TEST_F(Win32Console, NumbersAreWrittenWithoutPaddingOverWhatStoodThere) {
    draw([] {
        gotoXY(69, 20);
        putText("Time: ");
        putNumber(1000);
        gotoXY(75, 20);
        putNumber(999);
        gotoXY(69, 26);
        putNumber(-1);
        gotoXY(0, 29);
        putNumber(-2147483647 - 1);
    });
    EXPECT_EQ(bytesAt(69, 20, 11), "Time: 9990 ");
    EXPECT_EQ(bytesAt(69, 26, 3), "-1 ");
    EXPECT_EQ(bytesAt(0, 29, 12), "-2147483648 ");
}

TEST_F(Win32Console, TypedTextLeavesNoBlockAndTakesTenMillisecondsALetter) {
    using std::chrono::steady_clock;
    steady_clock::time_point start;
    steady_clock::duration took{};
    draw([&] {
        gotoXY(3, 4);
        setColor(Colour::Yellow);
        typeText("");
        start = steady_clock::now();
        typeText("ab\nc");
        took = steady_clock::now() - start;
    });
    EXPECT_EQ(bytesAt(3, 4, 3), "ab ");
    EXPECT_EQ(bytesAt(0, 5, 2), "c ");
    EXPECT_EQ(attributeAt(4, 4), 6);
    EXPECT_EQ(cursor(), std::make_pair(1, 5));
    EXPECT_GE(took, std::chrono::milliseconds(40));
}

TEST_F(Win32Console, ClearingBlanksEverythingAndKeepsTheColour) {
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
    EXPECT_EQ(bytesAt(0, 0, 2), "z ");
    EXPECT_EQ(attributeAt(0, 0), 5);
    EXPECT_EQ(bytesAt(50, 15, 4), "    ");
    EXPECT_EQ(cursor(), std::make_pair(1, 0));
    CONSOLE_CURSOR_INFO cursorInfo{};
    GetConsoleCursorInfo(buffer_, &cursorInfo);
    EXPECT_FALSE(cursorInfo.bVisible);
    EXPECT_EQ(cursorInfo.dwSize, 50u) << "hiding the cursor keeps its size";
}

// The console's code page is shared with the shell that started the game: a run shows code page
// 437 and gives the old one back when it ends.
TEST(Win32ConsoleCodePage, IsCodePage437WhileRunningAndRestoredAtExit) {
    ASSERT_NE(GetConsoleOutputCP(), 0u) << "this process has no console";
    ASSERT_TRUE(SetConsoleOutputCP(850));
    wchar_t program[MAX_PATH];
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(program) + L"\" --exit-with-output-code-page";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process));
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD codePageWhileRunning = 0;
    GetExitCodeProcess(process.hProcess, &codePageWhileRunning);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    const UINT codePageAfter = GetConsoleOutputCP();
    SetConsoleOutputCP(437);
    EXPECT_EQ(codePageWhileRunning, 437u);
    EXPECT_EQ(codePageAfter, 850u);
}

TEST(Win32Services, FileNamesBecomeWidePathsWithBackslashes) {
    EXPECT_EQ(windowsPath("res/Glyph.wav"), L"res\\Glyph.wav");
    EXPECT_EQ(windowsPath("Assistance.txt"), L"Assistance.txt");
    EXPECT_EQ(windowsPath(""), L"");
}

}  // namespace
