#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "console/console_primitives.h"

namespace {

// A fresh console screen buffer, 80 x 25 at least. draw() points standard output, its handle and
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
        fd_ = _open_osfhandle(reinterpret_cast<intptr_t>(buffer_), _O_WRONLY);
    }
    void TearDown() override {
        if (fd_ >= 0) _close(fd_);  // closes the buffer too
    }

    template <typename Drawing>
    void draw(Drawing drawing) {
        const int savedFd = _dup(1);
        const HANDLE savedHandle = GetStdHandle(STD_OUTPUT_HANDLE);
        const int mode = _setmode(1, _O_BINARY);  // as the backend left it
        _dup2(fd_, 1);
        _setmode(1, mode);
        SetStdHandle(STD_OUTPUT_HANDLE, consoleOut = buffer_);
        drawing();
        std::cout.flush();
        SetStdHandle(STD_OUTPUT_HANDLE, consoleOut = savedHandle);
        _dup2(savedFd, 1);
        _close(savedFd);
    }

    // The characters shown from (column, row) on, as the console holds them: in Unicode.
    std::wstring textAt(SHORT column, SHORT row, int count) const {
        std::wstring text(count, L'\0');
        DWORD read = 0;
        ReadConsoleOutputCharacterW(buffer_, text.data(), count, COORD{column, row}, &read);
        return text.substr(0, read);
    }
    WORD attributeAt(SHORT column, SHORT row) const {
        WORD attribute = 0;
        DWORD read = 0;
        ReadConsoleOutputAttribute(buffer_, &attribute, 1, COORD{column, row}, &read);
        return attribute;
    }
    std::pair<int, int> cursor() const {
        CONSOLE_SCREEN_BUFFER_INFO info{};
        GetConsoleScreenBufferInfo(buffer_, &info);
        return {info.dwCursorPosition.X, info.dwCursorPosition.Y};
    }

    HANDLE buffer_ = INVALID_HANDLE_VALUE;
    int fd_ = -1;
};

// Text is buffered by the stream, positions and colours are not: each glyph, text and number must
// still land where and in the colour set just before it, over whatever stood there.
TEST_F(Win32Console, PrimitivesDrawWhereAndInTheColourSetBeforeThem) {
    const std::string glyphs =
        "\xB0\xB1\xB2\xB9\xBA\xBB\xBC\xC8\xC9\xCA\xCB\xCC\xCD\xCE\xDB\xDD\xDE\xDF\xFE";
    std::chrono::steady_clock::duration took{};
    draw([&] {
        gotoXY(0, 1);
        putText("maze");
        setColor(Colour::Purple);
        clearScreen();
        hideCursor();
        const auto start = std::chrono::steady_clock::now();
        typeText("ab\nc");
        took = std::chrono::steady_clock::now() - start;
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
    });
    // Typed from the top left corner with no block left behind, on a cleared screen.
    EXPECT_EQ(textAt(0, 0, 3), L"ab ");
    EXPECT_EQ(textAt(0, 1, 4), L"cd  ");
    EXPECT_EQ(attributeAt(1, 0), 5);
    EXPECT_GE(took, std::chrono::milliseconds(40));  // ten milliseconds a letter
    EXPECT_EQ(textAt(10, 3, 19), L"░▒▓╣║╗╝╚╔╩╦╠═╬█▌▐▀■");
    for (int i = 0; i < 19; ++i) EXPECT_EQ(attributeAt(10 + i, 3), 1 + i % 9) << i;
    EXPECT_EQ(textAt(69, 20, 11), L"Time: 9990 ");
    EXPECT_EQ(std::vector({attributeAt(74, 20), attributeAt(75, 20), attributeAt(78, 20)}),
              std::vector<WORD>({4, 2, 4}));
    EXPECT_EQ(cursor(), std::make_pair(78, 20));
    CONSOLE_CURSOR_INFO cursorInfo{};
    GetConsoleCursorInfo(buffer_, &cursorInfo);
    EXPECT_FALSE(cursorInfo.bVisible);
}

// The output code page belongs to the console, shared with the shell that started the game: the
// game runs in code page 437 and gives the old one back when it ends.
TEST(Win32ConsoleCodePage, Is437WhileTheGameRunsAndRestoredAtExit) {
    ASSERT_TRUE(SetConsoleOutputCP(850)) << "this process has no console";
    const auto whileRunning =
        _spawnl(_P_WAIT, _pgmptr, "copy", "--exit-with-output-code-page", nullptr);
    const UINT after = GetConsoleOutputCP();
    SetConsoleOutputCP(437);
    EXPECT_EQ(whileRunning, 437);
    EXPECT_EQ(after, 850u);
}

}  // namespace
