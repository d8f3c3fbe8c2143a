// Background sound through winmm and the help viewer through notepad.
#include <windows.h>
// After windows.h, which it builds on.
#include <mmsystem.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <string>

#include "console/services.h"

namespace {

// The game names its files with forward slashes ("res/Glyph.wav"); the wide-character calls get
// backslashes ("res\\Glyph.wav"), the name read in the program's ANSI code page.
std::wstring windowsPath(const char* path) {
    const int length = MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
    if (length <= 1) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path, -1, wide.data(), length);
    wide.pop_back();  // the terminating zero that the count included
    std::replace(wide.begin(), wide.end(), L'/', L'\\');
    return wide;
}

}  // namespace

// SND_NOSTOP makes the call do nothing while our sound still plays, so calling it on every tick
// restarts the tune within a tick of its end and never cuts it short.
constexpr DWORD kBackgroundSoundFlags = SND_FILENAME | SND_NOSTOP | SND_ASYNC;
static_assert(kBackgroundSoundFlags == 0x20011);

void playBackgroundSound(const char* path) {
    PlaySoundW(windowsPath(path).c_str(), nullptr, kBackgroundSoundFlags);
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
