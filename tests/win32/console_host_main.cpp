// Runs the backend tests on a console. A program started from a test runner's pipes may have no
// console at all (wine gives a console only to programs started from a terminal); it then starts
// itself again in a new hidden console, hands on its standard handles, and exits as the copy does.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool hasConsole() {
    return GetConsoleOutputCP() != 0;
}

constexpr const wchar_t* kInHiddenConsole = L"GLYPH_IN_HIDDEN_CONSOLE";

int rerunInHiddenConsole() {
    SetEnvironmentVariableW(kInHiddenConsole, L"1");  // a copy that still has none runs as it is
    std::wstring commandLine = GetCommandLineW();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &startup, &process)) {
        return 1;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 1;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(status);
}

}  // namespace

int main(int argc, char** argv) {
    if (!hasConsole() && GetEnvironmentVariableW(kInHiddenConsole, nullptr, 0) == 0) {
        return rerunInHiddenConsole();
    }
    // The code page test starts this program to learn the output code page while it runs; the
    // backend's own start and exit are what is being tested.
    if (argc == 2 && std::strcmp(argv[1], "--exit-with-output-code-page") == 0) {
        return static_cast<int>(GetConsoleOutputCP());
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
