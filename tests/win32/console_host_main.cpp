// Runs the backend tests on a console. wine gives a console only to programs started from a
// terminal; without one, the program runs a copy of itself in a new hidden console, hands on its
// output handles, and exits as the copy does.
//
// The session tests also start this program as the game: "--play" runs the game's flow on the
// real backend, as the game's own main() does.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "front/main_menu.h"
#include "front/startup.h"
#include "play/game_state.h"
#include "play/play_loop.h"

namespace {

int runInHiddenConsole() {
    SetEnvironmentVariableW(L"GLYPH_RERUN", L"1");  // the copy never starts another
    std::wstring commandLine = GetCommandLineW();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION copy{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &startup, &copy))
        return 1;
    DWORD status = 1;
    WaitForSingleObject(copy.hProcess, INFINITE);
    GetExitCodeProcess(copy.hProcess, &status);
    return static_cast<int>(status);
}

int play() {
    GameState game;
    int menuSelection = 0;
    startUp(game, menuSelection);
    runMainMenu(menuSelection);
    startGame(game);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc == 2 ? argv[1] : "";
    if (mode == "--play") return play();
    if (GetConsoleOutputCP() == 0 && GetEnvironmentVariableW(L"GLYPH_RERUN", nullptr, 0) == 0)
        return runInHiddenConsole();
    // The backend draws when standard output is a console, as it is for a player; the test
    // framework's report still goes to the output that the C runtime opened at start.
    const HANDLE console =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    SetStdHandle(STD_OUTPUT_HANDLE, console);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
