// Background sound through winmm and the help viewer through notepad.
#include <windows.h>
// After windows.h, which it builds on.
#include <mmsystem.h>

#include <cstdlib>
#include <iostream>
#include <string>

#include "console/services.h"
#include "console/win32/win32_data_files.h"

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

// system() waits for notepad to be closed, so the menu stays blocked while the file is open.
void showHelpFile(const char* fileName) {
    std::cout.flush();
    const std::string command = std::string("notepad.exe ") + fileName;
    std::system(command.c_str());
}
