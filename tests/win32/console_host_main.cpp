// Runs the backend tests on a console. wine gives a console only to programs started from a
// terminal; without one, the program starts itself again in a new hidden console, hands on its
// standard handles, and exits as that copy does.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

int rerunInHiddenConsole() {
    SetEnvironmentVariableW(L"GLYPH_IN_HIDDEN_CONSOLE", L"1");  // the copy never starts another
    std::wstring commandLine = GetCommandLineW();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    DWORD status = 1;
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                       nullptr, nullptr, &startup, &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &status);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    return static_cast<int>(status);
}

}  // namespace

int main(int argc, char** argv) {
    const bool hasConsole = GetConsoleOutputCP() != 0;
    if (!hasConsole && GetEnvironmentVariableW(L"GLYPH_IN_HIDDEN_CONSOLE", nullptr, 0) == 0) {
        return rerunInHiddenConsole();
    }
    // The code page test runs this program to see the code page that the backend sets on start.
    if (argc == 2 && std::strcmp(argv[1], "--exit-with-output-code-page") == 0) {
        return static_cast<int>(GetConsoleOutputCP());
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
