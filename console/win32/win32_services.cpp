// Background sound through winmm and the help viewer through Notepad.
#include <windows.h>
// After windows.h, which it builds on.
#include <mmsystem.h>

#include <string>

#include "console/services.h"
#include "console/shadow_console.h"
#include "console/win32/win32_data_files.h"
#include "console/win32/win32_session.h"

// SND_NOSTOP makes the call do nothing while our sound still plays, so calling it on every tick
// restarts the tune within a tick of its end and never cuts it short.
constexpr DWORD kBackgroundSoundFlags = SND_FILENAME | SND_NOSTOP | SND_ASYNC;
static_assert(kBackgroundSoundFlags == 0x20011);

void playBackgroundSound(const char* path) {
    PlaySoundW(dataFileLocation(path).c_str(), nullptr, kBackgroundSoundFlags);
}

void stopSound() {
    PlaySoundW(nullptr, nullptr, 0);
}

// Notepad is started directly rather than through the command interpreter, so a missing Notepad
// prints no complaint into the player's console; the menu stays blocked until it is closed. Its
// window has the keyboard meanwhile: what is typed into the game's console in that time is
// dropped when the game takes the keyboard back.
void showHelpFile(const char* fileName) {
    shadow::present();
    std::wstring commandLine = L"notepad.exe \"" + wideName(fileName) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION notepad{};
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &notepad)) {
        WaitForSingleObject(notepad.hProcess, INFINITE);
        CloseHandle(notepad.hThread);
        CloseHandle(notepad.hProcess);
    }
    win32::afterOtherProgram();
}
