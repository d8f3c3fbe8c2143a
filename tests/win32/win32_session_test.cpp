// The game started as a child process in this test's console, as a player starts it from a
// command prompt: keys typed into the console drive it, and when it ends, however it ends, the
// player's screen buffer is the active one again with its contents, cursor and colours as they
// were, the code page is the player's, and no input is left over for the shell.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>

#include "tests/win32/console_reader.h"

namespace {

using consoletest::activePicture;
using consoletest::tap;
using consoletest::waitFor;

namespace fs = std::filesystem;

constexpr WORD kPlayerAttribute =
    FOREGROUND_RED | FOREGROUND_GREEN | FOREGROUND_INTENSITY | BACKGROUND_BLUE;  // yellow on blue
constexpr COORD kPlayerCursor{3, 4};
constexpr DWORD kPlayerCursorSize = 25;
constexpr UINT kPlayerCodePage = 850;

fs::path thisProgram() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

HANDLE inheritable(const wchar_t* name) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       &inherit, OPEN_EXISTING, 0, nullptr);
}

// The player's screen: a buffer of text in yellow on blue with the cursor at (3, 4), active while
// the game starts, in a folder of its own where the game writes its help files.
class GameInAConsole : public testing::Test {
protected:
    void SetUp() override {
        previous_ = consoletest::openActiveScreen();
        previousCodePage_ = GetConsoleOutputCP();
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        player_ = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                            CONSOLE_TEXTMODE_BUFFER, nullptr);
        ASSERT_NE(player_, INVALID_HANDLE_VALUE) << "this process has no console";
        SetConsoleScreenBufferSize(player_, COORD{100, 30});
        SetConsoleTextAttribute(player_, kPlayerAttribute);
        for (SHORT row = 0; row < 30; ++row) {
            const std::wstring line = L"C:\\games> player's line " + std::to_wstring(row);
            DWORD written = 0;
            WriteConsoleOutputCharacterW(player_, line.c_str(), static_cast<DWORD>(line.size()),
                                         COORD{0, row}, &written);
            FillConsoleOutputAttribute(player_, kPlayerAttribute, 100, COORD{0, row}, &written);
        }
        SetConsoleCursorPosition(player_, kPlayerCursor);
        const CONSOLE_CURSOR_INFO cursor{kPlayerCursorSize, TRUE};
        SetConsoleCursorInfo(player_, &cursor);
        SetConsoleActiveScreenBuffer(player_);
        SetConsoleOutputCP(kPlayerCodePage);
        playerPicture_ = consoletest::readPicture(player_);

        folder_ =
            fs::temp_directory_path() / ("glyph-session-" + std::to_string(GetCurrentProcessId()));
        fs::create_directories(folder_);
        FlushConsoleInputBuffer(input_ = inheritable(L"CONIN$"));
    }

    void TearDown() override {
        if (game_.hProcess != nullptr) {
            TerminateProcess(game_.hProcess, 1);
            WaitForSingleObject(game_.hProcess, INFINITE);
            CloseHandle(game_.hProcess);
            CloseHandle(game_.hThread);
        }
        SetConsoleOutputCP(previousCodePage_);
        SetConsoleActiveScreenBuffer(previous_);
        CloseHandle(previous_);
        CloseHandle(player_);
        CloseHandle(input_);
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    // Starts this program as the game, on the player's screen, in the test's folder.
    void startGame(DWORD flags = 0) {
        std::wstring commandLine = L"\"" + thisProgram().wstring() + L"\" --play";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = input_;
        startup.hStdOutput = player_;
        startup.hStdError = player_;
        ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, flags,
                                   nullptr, folder_.c_str(), &startup, &game_));
    }

    DWORD gameExitCode(double seconds = 10) {
        if (WaitForSingleObject(game_.hProcess, static_cast<DWORD>(seconds * 1000)) != 0)
            return STILL_ACTIVE;
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(game_.hProcess, &code);
        return code;
    }

    // The menu shown, with the Green frame on `selection` only.
    static bool menuShows(int selection) {
        const auto picture = activePicture();
        if (picture.text(8, 8, 10) != L"Start game") return false;
        for (int item = 0; item < 4; ++item) {
            const bool green = picture.attribute(0, 6 + 6 * item) == FOREGROUND_GREEN;
            if (green != (item == selection)) return false;
        }
        return true;
    }

    static bool gameShows() { return activePicture().text(69, 26, 7) == L"Steps: "; }

    std::string notepadLog() const {
        std::ifstream log(folder_ / "notepad.log");
        std::stringstream text;
        text << log.rdbuf();
        return text.str();
    }

    void expectPlayerScreenBack() const {
        const HANDLE active = consoletest::openActiveScreen();
        const auto picture = consoletest::readPicture(active);
        CONSOLE_SCREEN_BUFFER_INFO info{};
        GetConsoleScreenBufferInfo(active, &info);
        CONSOLE_CURSOR_INFO cursor{};
        GetConsoleCursorInfo(active, &cursor);
        CloseHandle(active);
        DWORD pending = 1;
        GetNumberOfConsoleInputEvents(input_, &pending);
        EXPECT_TRUE(picture == playerPicture_) << "shows: " << picture.text(0, 7, 30);
        // Attribute, cursor column, row, visibility and size, code page, input left for the shell.
        EXPECT_EQ(std::tuple(info.wAttributes, info.dwCursorPosition.X, info.dwCursorPosition.Y,
                             cursor.bVisible, cursor.dwSize, GetConsoleOutputCP(), pending),
                  std::tuple(kPlayerAttribute, kPlayerCursor.X, kPlayerCursor.Y, TRUE,
                             kPlayerCursorSize, kPlayerCodePage, DWORD{0}));
    }

    HANDLE previous_ = INVALID_HANDLE_VALUE;
    HANDLE player_ = INVALID_HANDLE_VALUE;
    HANDLE input_ = INVALID_HANDLE_VALUE;
    UINT previousCodePage_ = 0;
    consoletest::Picture playerPicture_;
    fs::path folder_;
    PROCESS_INFORMATION game_{};
};

// Keys typed before the game started (the Enter that started it from the prompt among them) and
// keys typed while a help file was open do not act; a tap of Enter acts on whichever item is
// selected, although the menu asks for Enter once per item.
TEST_F(GameInAConsole, MenuActsOnTapsTypedIntoItsConsoleOnly) {
    tap(VK_DOWN);
    consoletest::type({consoletest::keyEvent(VK_RETURN, false)});
    tap(VK_RETURN);
    startGame();
    ASSERT_TRUE(waitFor([] { return menuShows(0); }));
    EXPECT_EQ(GetConsoleOutputCP(), 437u);
    Sleep(300);
    EXPECT_TRUE(menuShows(0));

    const char* const helpFiles[] = {"Assistance.txt", "Information.txt"};
    std::string expectedLog;
    for (int item = 1; item <= 2; ++item) {
        tap(VK_DOWN);
        ASSERT_TRUE(waitFor([item] { return menuShows(item); })) << item;
        tap(VK_RETURN);
        expectedLog += std::string(helpFiles[item - 1]) + "\n";
        ASSERT_TRUE(waitFor([&] { return notepadLog() == expectedLog; })) << notepadLog();
        // The notepad stand-in typed Down, Down, Enter meanwhile.
        Sleep(300);
        EXPECT_TRUE(menuShows(item));
        EXPECT_EQ(notepadLog(), expectedLog);
    }
    tap(VK_DOWN);
    ASSERT_TRUE(waitFor([] { return menuShows(3); }));
    tap(VK_RETURN);
    EXPECT_EQ(gameExitCode(), 0u);
    expectPlayerScreenBack();
}

// Ctrl-C or Ctrl-Break typed in the menu or during the game. The event goes to every process of
// the console, this test's too, which lets it pass.
struct Interruption {
    DWORD event;
    bool inTheGame;
};

BOOL WINAPI letPass(DWORD event) {
    return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
}

class GameInterrupted : public GameInAConsole, public testing::WithParamInterface<Interruption> {};

TEST_P(GameInterrupted, GivesTheConsoleBack) {
    SetConsoleCtrlHandler(letPass, TRUE);
    startGame();
    ASSERT_TRUE(waitFor([] { return menuShows(0); }));
    if (GetParam().inTheGame) {
        tap(VK_RETURN);
        ASSERT_TRUE(waitFor(gameShows));
    }
    tap(VK_DOWN);
    const bool sent = GenerateConsoleCtrlEvent(GetParam().event, 0);
    const DWORD code = sent ? gameExitCode() : STILL_ACTIVE;
    SetConsoleCtrlHandler(letPass, FALSE);
    if (!sent) GTEST_SKIP() << "this console cannot send the event (wine sends only Ctrl-C)";
    EXPECT_NE(code, STILL_ACTIVE);
    expectPlayerScreenBack();
}

INSTANTIATE_TEST_SUITE_P(Win32, GameInterrupted,
                         testing::Values(Interruption{CTRL_C_EVENT, false},
                                         Interruption{CTRL_C_EVENT, true},
                                         Interruption{CTRL_BREAK_EVENT, true}),
                         [](const auto& info) {
                             return std::string(info.param.event == CTRL_C_EVENT ? "CtrlC"
                                                                                 : "CtrlBreak") +
                                    (info.param.inTheGame ? "InTheGame" : "InTheMenu");
                         });

}  // namespace
