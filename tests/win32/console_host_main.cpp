// Runs the backend tests on a console. wine gives a console only to programs started from a
// terminal; without one, the program runs a copy of itself in a new hidden console, hands on its
// output handles, and exits as the copy does.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

int main(int argc, char** argv) {
    if (GetConsoleOutputCP() == 0 && GetEnvironmentVariableW(L"GLYPH_RERUN", nullptr, 0) == 0) {
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
    // The code page test runs this program to see the code page that the backend sets on start.
    if (argc == 2 && std::string(argv[1]) == "--exit-with-output-code-page")
        return static_cast<int>(GetConsoleOutputCP());
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
