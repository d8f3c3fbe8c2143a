// Stands in for Notepad in the session tests, built as notepad.exe beside the test program, where
// the game looks first. It notes which file it was asked to show in notepad.log, in the folder it
// runs in, then types Down, Down and Enter into the game's console, as a player might while the
// help file is open.
#include <windows.h>

#include <cstdio>

#include "tests/win32/console_reader.h"

int wmain(int argc, wchar_t** argv) {
    FILE* log = _wfopen(L"notepad.log", L"a");
    if (log == nullptr) return 1;
    std::fwprintf(log, L"%ls\n", argc > 1 ? argv[1] : L"");
    std::fclose(log);
    consoletest::tap(VK_DOWN);
    consoletest::tap(VK_DOWN);
    consoletest::tap(VK_RETURN);
    return 0;
}
