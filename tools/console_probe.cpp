// Watches the console of a running Windows program and reports what the player sees, for
// measuring the game in a console window:
//
//   console_probe.exe PROGRAM.exe SECONDS INTERVAL_MS OUTPUT
//
// Attaches to the console of the first process named PROGRAM.exe, reads its active screen
// buffer every INTERVAL_MS for SECONDS, and writes one line to OUTPUT whenever what it reads
// changes: the wall-clock time in microseconds since 1970 (comparable with the time of the
// machine that sends the keys), then the facts that tools/measure_win32.py works with:
//   menu=<green boxes>   the menu item boxes (0-3) whose frame corner is Green ("-" for none)
//   time=<n> steps=<n>   the status lines of the game, when shown
//   player=<col>,<row>   where the player's square is, when shown
#include <windows.h>
// After windows.h, which it builds on.
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr SHORT kColumns = 100;
constexpr SHORT kRows = 30;
constexpr WORD kGreen = 2;
constexpr WORD kAqua = 3;
constexpr wchar_t kPlayerSquare = 0x25A0;

DWORD findProcess(const wchar_t* name) {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    DWORD found = 0;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && found == 0;
         more = Process32NextW(snapshot, &entry)) {
        if (_wcsicmp(entry.szExeFile, name) == 0) found = entry.th32ProcessID;
    }
    CloseHandle(snapshot);
    return found;
}

long long wallClockUs() {
    FILETIME now{};
    GetSystemTimePreciseAsFileTime(&now);
    const unsigned long long ticks =
        (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return static_cast<long long>((ticks - 116444736000000000ULL) / 10);  // from 1601 to 1970
}

// The digits that follow `label` on `row`, or "" when the label is not there.
std::string numberAfter(const std::vector<CHAR_INFO>& cells, int row, const wchar_t* label) {
    const int length = static_cast<int>(std::wcslen(label));
    for (int column = 0; column + length < kColumns; ++column) {
        bool match = true;
        for (int i = 0; i < length && match; ++i)
            match = cells[row * kColumns + column + i].Char.UnicodeChar == label[i];
        if (!match) continue;
        std::string digits;
        for (int c = column + length; c < kColumns; ++c) {
            const wchar_t ch = cells[row * kColumns + c].Char.UnicodeChar;
            if ((ch < L'0' || ch > L'9') && ch != L'-') break;
            digits += static_cast<char>(ch);
        }
        return digits;
    }
    return "";
}

std::string facts(const std::vector<CHAR_INFO>& cells) {
    std::string menu;
    for (int item = 0; item < 4; ++item) {
        if (cells[(6 + 6 * item) * kColumns].Attributes == kGreen)
            menu += static_cast<char>('0' + item);
    }
    std::string text = "menu=" + (menu.empty() ? std::string("-") : menu);
    const std::string time = numberAfter(cells, 20, L"Time: ");
    const std::string steps = numberAfter(cells, 26, L"Steps: ");
    if (!time.empty()) text += " time=" + time;
    if (!steps.empty()) text += " steps=" + steps;
    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < 64; ++column) {
            const CHAR_INFO& cell = cells[row * kColumns + column];
            if (cell.Char.UnicodeChar == kPlayerSquare && cell.Attributes == kAqua) {
                text += " player=" + std::to_string(column) + "," + std::to_string(row);
                row = kRows;
                break;
            }
        }
    }
    return text;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 5) {
        std::fwprintf(stderr, L"usage: %ls PROGRAM.exe SECONDS INTERVAL_MS OUTPUT\n", argv[0]);
        return 2;
    }
    const double seconds = std::wcstod(argv[2], nullptr);
    const DWORD interval = static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10));
    FILE* output = _wfopen(argv[4], L"w");
    if (output == nullptr) return 2;
    const DWORD pid = findProcess(argv[1]);
    FreeConsole();
    if (pid == 0 || !AttachConsole(pid)) {
        std::fprintf(output, "error cannot attach to %ls\n", argv[1]);
        return 1;
    }
    std::vector<CHAR_INFO> cells(kColumns * kRows);
    std::string last;
    const long long endUs = wallClockUs() + static_cast<long long>(seconds * 1e6);
    std::fprintf(output, "%lld start\n", wallClockUs());
    std::fflush(output);
    while (wallClockUs() < endUs) {
        // CONOUT$ opens the buffer that was active when it was opened; the game may switch.
        const HANDLE active =
            CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        SMALL_RECT region{0, 0, kColumns - 1, kRows - 1};
        const bool read = ReadConsoleOutputW(active, cells.data(), COORD{kColumns, kRows},
                                             COORD{0, 0}, &region) != 0;
        CloseHandle(active);
        if (read) {
            const std::string now = facts(cells);
            if (now != last) {
                std::fprintf(output, "%lld %s\n", wallClockUs(), now.c_str());
                std::fflush(output);
                last = now;
            }
        }
        Sleep(interval);
    }
    std::fprintf(output, "%lld end\n", wallClockUs());
    return 0;
}
