// Reading and feeding the console that a test program runs in: what the active screen buffer
// shows, and key events put into the console's input as if typed into its window.
#pragma once

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

namespace consoletest {

// The screen buffer the console shows now, opened anew (a handle keeps the buffer it was opened
// on). Closed by the caller.
inline HANDLE openActiveScreen() {
    return CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, 0, nullptr);
}

// The cells of the top-left 100 x 30 of a screen buffer.
struct Picture {
    std::vector<CHAR_INFO> cells;

    std::wstring text(int column, int row, int count) const {
        std::wstring result;
        for (int i = 0; i < count; ++i) result += cells[row * 100 + column + i].Char.UnicodeChar;
        return result;
    }
    WORD attribute(int column, int row) const { return cells[row * 100 + column].Attributes; }

    friend bool operator==(const Picture& a, const Picture& b) {
        return std::equal(a.cells.begin(), a.cells.end(), b.cells.begin(), b.cells.end(),
                          [](const CHAR_INFO& x, const CHAR_INFO& y) {
                              return x.Char.UnicodeChar == y.Char.UnicodeChar &&
                                     x.Attributes == y.Attributes;
                          });
    }
};

inline Picture readPicture(HANDLE buffer) {
    Picture picture{std::vector<CHAR_INFO>(100 * 30)};
    SMALL_RECT region{0, 0, 99, 29};
    ReadConsoleOutputW(buffer, picture.cells.data(), COORD{100, 30}, COORD{0, 0}, &region);
    return picture;
}

inline Picture activePicture() {
    const HANDLE screen = openActiveScreen();
    Picture picture = readPicture(screen);
    CloseHandle(screen);
    return picture;
}

// Key events in the console's input, as its window puts them there.
inline INPUT_RECORD keyEvent(WORD virtualKey, bool down, wchar_t character = 0) {
    INPUT_RECORD record{};
    record.EventType = KEY_EVENT;
    record.Event.KeyEvent.bKeyDown = down ? TRUE : FALSE;
    record.Event.KeyEvent.wRepeatCount = 1;
    record.Event.KeyEvent.wVirtualKeyCode = virtualKey;
    record.Event.KeyEvent.uChar.UnicodeChar = character;
    return record;
}

inline void type(const std::vector<INPUT_RECORD>& records) {
    const HANDLE input =
        CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD written = 0;
    WriteConsoleInputW(input, records.data(), static_cast<DWORD>(records.size()), &written);
    CloseHandle(input);
}

// A press and its release, both before anything reads them.
inline void tap(WORD virtualKey) {
    type({keyEvent(virtualKey, true), keyEvent(virtualKey, false)});
}

// Waits up to `seconds` for `condition` to hold, looking every few milliseconds.
template <typename Condition>
bool waitFor(Condition condition, double seconds = 10) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        Sleep(5);
    }
    return true;
}

}  // namespace consoletest
