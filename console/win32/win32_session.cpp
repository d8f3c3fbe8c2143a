#include "console/win32/win32_session.h"

// After windows.h, which it builds on.
#include <mmsystem.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <optional>
#include <utility>

#include "console/shadow_console.h"

namespace win32 {
namespace {

constexpr UINT kGlyphCodePage = 437;
constexpr SHORT kMinColumns = kConsoleColumns;
constexpr SHORT kMinRows = kConsoleRows;
constexpr WORD kBlankAttribute = static_cast<WORD>(Colour::White);  // light grey on black

// Ctrl-C and Ctrl-Break still reach the handler below; Enter, the arrows and the rest arrive as
// key events. Quick-edit mode is off (it is an extended flag), so a click into the window does
// not start a selection that would stop the game's drawing. Resizes are reported, so the picture
// can be drawn anew when the console changed the buffer.
constexpr DWORD kGameInputMode =
    ENABLE_PROCESSED_INPUT | ENABLE_WINDOW_INPUT | ENABLE_EXTENDED_FLAGS;

constexpr std::size_t kKeyCount = kGameKeys.size();

std::optional<std::size_t> keySlot(WORD virtualKey) {
    for (std::size_t slot = 0; slot < kKeyCount; ++slot)
        if (static_cast<WORD>(kGameKeys[slot]) == virtualKey) return slot;
    return std::nullopt;
}

// Keys come from the console's own input events, not from the keyboard's global state: only keys
// typed into the game's console window count. Keys typed into another window, into the editor
// while it shows a help file, or the Enter that started the game from a command prompt never
// reach this console's input as a press, so they do not act. The console reports releases, so
// the key state (shadow::keys) knows exactly which key is down.
struct Keys {
    std::array<bool, kKeyCount> down{};
    // Keys that were down when the game took the keyboard: their presses count after a release.
    std::array<bool, kKeyCount> ignoredUntilRelease{};
};

struct Session {
    bool started = false;
    bool restored = false;
    bool screenLost = false;
    HANDLE original = INVALID_HANDLE_VALUE;  // the screen buffer the player saw before
    HANDLE ours = INVALID_HANDLE_VALUE;
    HANDLE input = INVALID_HANDLE_VALUE;
    UINT previousCodePage = 0;
    DWORD previousInputMode = 0;
    bool inputModeKnown = false;
    bool timerRaised = false;
    Keys keys;
};

Session session;
// Guards taking and giving back the console: the Ctrl handler runs on a thread of its own.
SRWLOCK sessionLock = SRWLOCK_INIT;

class Locked {
public:
    Locked() { AcquireSRWLockExclusive(&sessionLock); }
    ~Locked() { ReleaseSRWLockExclusive(&sessionLock); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
};

// Keys held now, whatever window they were typed into: the only use of the global key state,
// and only to ignore keys, never to act on them.
void ignoreKeysDownNow() {
    for (std::size_t slot = 0; slot < kKeyCount; ++slot) {
        const bool down = (GetAsyncKeyState(static_cast<int>(kGameKeys[slot])) & 0x8000) != 0;
        session.keys.ignoredUntilRelease[slot] = down;
    }
}

void applyKey(const KEY_EVENT_RECORD& event) {
    const auto slot = keySlot(event.wVirtualKeyCode);
    if (!slot) return;
    Keys& keys = session.keys;
    const Key key = kGameKeys[*slot];
    if (!event.bKeyDown) {
        keys.ignoredUntilRelease[*slot] = false;
        keys.down[*slot] = false;
        shadow::keys().apply(key, KeyAction::Release, monotonicMs());
        return;
    }
    if (keys.ignoredUntilRelease[*slot]) return;
    const KeyAction action = keys.down[*slot] ? KeyAction::Repeat : KeyAction::Press;
    keys.down[*slot] = true;
    shadow::keys().apply(key, action, monotonicMs());
}

// The window lost the keyboard: its key releases now go elsewhere, so the held keys are let go.
void releaseAllKeys() {
    Keys& keys = session.keys;
    for (std::size_t slot = 0; slot < kKeyCount; ++slot) {
        if (!keys.down[slot]) continue;
        keys.down[slot] = false;
        shadow::keys().apply(kGameKeys[slot], KeyAction::Release, monotonicMs());
    }
}

// Wide enough for the picture, and at least as large as the window the player had.
COORD bufferSizeFor(COORD wanted) {
    return COORD{std::max(wanted.X, kMinColumns), std::max(wanted.Y, kMinRows)};
}

void blank(HANDLE buffer, COORD size) {
    const DWORD cells = static_cast<DWORD>(size.X) * static_cast<DWORD>(size.Y);
    DWORD written = 0;
    FillConsoleOutputCharacterW(buffer, L' ', cells, COORD{0, 0}, &written);
    FillConsoleOutputAttribute(buffer, kBlankAttribute, cells, COORD{0, 0}, &written);
}

// After the console resized the buffer (some consoles reflow it with the window), it is made
// large enough for the picture again, blanked and drawn anew.
void onBufferResized() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(session.ours, &info)) return;
    const COORD size = bufferSizeFor(info.dwSize);
    if (size.X != info.dwSize.X || size.Y != info.dwSize.Y)
        SetConsoleScreenBufferSize(session.ours, size);
    blank(session.ours, size);
    session.screenLost = true;
}

void applyEvent(const INPUT_RECORD& record) {
    switch (record.EventType) {
        case KEY_EVENT:
            applyKey(record.Event.KeyEvent);
            break;
        case FOCUS_EVENT:
            if (!record.Event.FocusEvent.bSetFocus) releaseAllKeys();
            break;
        case WINDOW_BUFFER_SIZE_EVENT:
            onBufferResized();
            break;
        default:
            break;
    }
}

HANDLE openConsole(const wchar_t* name) {
    return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, 0, nullptr);
}

// A buffer the size of the player's window (at least 100 x 30), blank and black, its window at
// the top left, showing as much of it as the screen allows.
HANDLE makeScreenBuffer(const CONSOLE_SCREEN_BUFFER_INFO& player) {
    const HANDLE buffer =
        CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, CONSOLE_TEXTMODE_BUFFER, nullptr);
    if (buffer == INVALID_HANDLE_VALUE) return buffer;
    const COORD window{static_cast<SHORT>(player.srWindow.Right - player.srWindow.Left + 1),
                       static_cast<SHORT>(player.srWindow.Bottom - player.srWindow.Top + 1)};
    const COORD size = bufferSizeFor(window);
    SetConsoleScreenBufferSize(buffer, size);
    const COORD largest = GetLargestConsoleWindowSize(buffer);
    const SHORT columns = largest.X > 0 ? std::min(size.X, largest.X) : size.X;
    const SHORT rows = largest.Y > 0 ? std::min(size.Y, largest.Y) : size.Y;
    const SMALL_RECT shown{0, 0, static_cast<SHORT>(columns - 1), static_cast<SHORT>(rows - 1)};
    SetConsoleWindowInfo(buffer, TRUE, &shown);

    SetConsoleTextAttribute(buffer, kBlankAttribute);
    blank(buffer, size);
    return buffer;
}

// Runs on a thread of its own when Ctrl-C or Ctrl-Break is typed or the window is closed;
// returning FALSE lets the default handling end the process.
BOOL WINAPI restoreBeforeEnding(DWORD) {
    restore();
    return FALSE;
}

void restoreAtExit() {
    restore();
}

}  // namespace

bool start() {
    const Locked locked;
    if (session.started || session.restored) return session.started;
    CONSOLE_SCREEN_BUFFER_INFO player{};
    if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &player)) return false;
    session.started = true;

    // The console's active buffer is what the player sees now; standard output may be another.
    session.original = openConsole(L"CONOUT$");
    if (session.original == INVALID_HANDLE_VALUE)
        session.original = GetStdHandle(STD_OUTPUT_HANDLE);
    GetConsoleScreenBufferInfo(session.original, &player);
    session.input = openConsole(L"CONIN$");
    session.previousCodePage = GetConsoleOutputCP();
    session.inputModeKnown = GetConsoleMode(session.input, &session.previousInputMode) != 0;

    // Everything that puts the console back is in place before anything is changed.
    std::atexit(restoreAtExit);
    SetConsoleCtrlHandler(restoreBeforeEnding, TRUE);

    // The picture is written in Unicode, which does not depend on the code page; with 437 a
    // console that uses a raster font finds every box piece and block in its font as well.
    SetConsoleOutputCP(kGlyphCodePage);
    if (session.inputModeKnown) SetConsoleMode(session.input, kGameInputMode);
    // Sleeps and waits end within a millisecond of their time instead of the default 15.6 ms
    // step, so pauses, letters and frames keep their length.
    session.timerRaised = timeBeginPeriod(1) == TIMERR_NOERROR;

    FlushConsoleInputBuffer(session.input);
    ignoreKeysDownNow();
    // The console reports every release, but auto-repeats only the key pressed last: a key held
    // under another one goes quiet while it is still down, so it must not expire.
    shadow::keys().setReleasesAlwaysReported();

    session.ours = makeScreenBuffer(player);
    if (session.ours == INVALID_HANDLE_VALUE) {
        session.ours = GetStdHandle(STD_OUTPUT_HANDLE);  // draw on the player's buffer after all
    } else {
        SetConsoleActiveScreenBuffer(session.ours);
    }
    return true;
}

HANDLE screen() {
    return session.ours;
}

void drainInput() {
    if (!session.started || session.input == INVALID_HANDLE_VALUE) return;
    // The input handle is signalled while events are pending. Asking that is a tenth of the
    // cost of counting the events, and the menu asks several times per pass.
    while (WaitForSingleObject(session.input, 0) == WAIT_OBJECT_0) {
        DWORD pending = 0;
        if (!GetNumberOfConsoleInputEvents(session.input, &pending) || pending == 0) return;
        std::array<INPUT_RECORD, 64> records;
        DWORD read = 0;
        const DWORD wanted = std::min<DWORD>(pending, records.size());
        if (!ReadConsoleInputW(session.input, records.data(), wanted, &read) || read == 0) return;
        for (DWORD i = 0; i < read; ++i) applyEvent(records[i]);
    }
}

bool waitForInput(int ms) {
    if (!session.started || session.input == INVALID_HANDLE_VALUE) {
        Sleep(static_cast<DWORD>(std::max(ms, 0)));
        return false;
    }
    const bool arrived =
        WaitForSingleObject(session.input, static_cast<DWORD>(std::max(ms, 0))) == WAIT_OBJECT_0;
    if (arrived) drainInput();
    return arrived;
}

bool takeScreenLost() {
    return std::exchange(session.screenLost, false);
}

void afterOtherProgram() {
    if (!session.started) return;
    FlushConsoleInputBuffer(session.input);
    shadow::screenReturned();
    session.keys.down.fill(false);
    ignoreKeysDownNow();
}

void restore() {
    const Locked locked;
    if (!session.started || session.restored) return;
    session.restored = true;
    SetConsoleActiveScreenBuffer(session.original);
    SetConsoleOutputCP(session.previousCodePage);
    if (session.inputModeKnown) SetConsoleMode(session.input, session.previousInputMode);
    // Keys typed during the game are the game's: the shell does not get them afterwards.
    FlushConsoleInputBuffer(session.input);
    if (session.timerRaised) timeEndPeriod(1);
}

}  // namespace win32
