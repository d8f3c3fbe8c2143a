// The console primitives on the Windows console.
//
// Text goes through the C++ standard output stream; positioning, colour and the cursor are console
// calls. The stream is flushed before every console call, so text always lands at the position and
// in the colour set just before it.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "console/console_primitives.h"

ConsoleHandle consoleOut = GetStdHandle(STD_OUTPUT_HANDLE);

namespace {

// Box pieces and blocks are code page 437 bytes, but the console shows bytes in its output code
// page, which on many machines is another one. The run switches it to 437 and puts the old one
// back however the program ends: at exit, or when Ctrl-C or closing the window ends the process.
// The code page belongs to the console, so a shell sharing it would otherwise inherit ours.
UINT previousOutputCodePage = 0;

void restoreOutputCodePage() {
    if (previousOutputCodePage != 0) SetConsoleOutputCP(previousOutputCodePage);
}

// Runs on a thread of its own; returning FALSE lets the default handling end the process.
BOOL WINAPI restoreBeforeEnding(DWORD) {
    restoreOutputCodePage();
    return FALSE;
}

// Prepares the console before the game's main flow starts and undoes it at exit.
struct ConsoleForTheRun {
    ConsoleForTheRun() {
        // Bytes must reach the console unchanged. In text mode some C runtimes first translate
        // them from the C locale to the console's code page, which turns box pieces into accented
        // letters; the console itself moves to column 0 on a line feed.
        _setmode(_fileno(stdout), _O_BINARY);
        previousOutputCodePage = GetConsoleOutputCP();  // 0 without a console: nothing to switch
        if (previousOutputCodePage == 0) return;
        SetConsoleOutputCP(437);
        SetConsoleCtrlHandler(restoreBeforeEnding, TRUE);
    }
    ~ConsoleForTheRun() { restoreOutputCodePage(); }
    ConsoleForTheRun(const ConsoleForTheRun&) = delete;
    ConsoleForTheRun& operator=(const ConsoleForTheRun&) = delete;
};

const ConsoleForTheRun consoleForTheRun;

// Waits on the monotonic clock: the sleep may end early or late, the deadline decides.
void waitMs(int ms) {
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + milliseconds(ms);
    for (auto now = steady_clock::now(); now < deadline; now = steady_clock::now()) {
        Sleep(static_cast<DWORD>(ceil<milliseconds>(deadline - now).count()));
    }
}

}  // namespace

void gotoXY(int column, int row) {
    std::cout.flush();
    const COORD position{static_cast<SHORT>(column), static_cast<SHORT>(row)};
    SetConsoleCursorPosition(GetStdHandle(STD_OUTPUT_HANDLE), position);
}

void setColor(Colour attribute) {
    std::cout.flush();
    SetConsoleTextAttribute(consoleOut, static_cast<WORD>(attribute));
}

void clearScreen() {
    std::cout.flush();
    std::system("cls");
}

void putGlyph(unsigned char code) {
    std::cout.put(static_cast<char>(code));
}

void putText(const char* text) {
    std::cout << text;
}

void putNumber(std::int32_t value) {
    std::cout << value;
}

// Each character is followed by a full block as a cursor, shown for 10 ms, then erased with
// backspace, space, backspace, which leaves the cursor where the next character goes.
void typeText(const char* text) {
    for (const char* c = text; *c != '\0'; ++c) {
        std::cout.put(*c).put('\xDB').flush();
        waitMs(10);
        std::cout << "\b \b" << std::flush;
    }
}

void hideCursor() {
    CONSOLE_CURSOR_INFO info{};
    GetConsoleCursorInfo(consoleOut, &info);
    info.bVisible = FALSE;  // the size stays as the console had it
    SetConsoleCursorInfo(consoleOut, &info);
}

void pauseMs(int ms) {
    std::cout.flush();
    if (ms > 0) Sleep(static_cast<DWORD>(ms));
}

long long monotonicMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// The key state's top bit says the key is down, its low bit that it was pressed since the last
// query; either counts.
bool keyPressed(Key key) {
    return GetAsyncKeyState(static_cast<int>(key)) != 0;
}
