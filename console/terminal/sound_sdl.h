// What the SDL sound service has done so far, and a way to put it back to its first state: for
// its tests and for the clean shutdown at exit.
#pragma once

namespace soundsdl {

struct Counters {
    int deviceOpens = 0;  // attempts to open the audio device
    int fileLoads = 0;    // attempts to load a sound file
    int starts = 0;       // times a sound was started
};

Counters counters();

// The shared libraries loaded when the first sound is wanted, by the names their packages
// install (libsdl2-2.0-0 and libsdl2-mixer-2.0-0 on Debian).
inline constexpr const char* kSdlLibrary = "libSDL2-2.0.so.0";
inline constexpr const char* kMixerLibrary = "libSDL2_mixer-2.0.so.0";

// Loads other files in their place from now on: for tests of a machine without them.
void useLibraries(const char* sdlLibrary, const char* mixerLibrary);

// Stops the sound, frees the file, closes the device and shuts SDL down; the next call to
// playBackgroundSound starts from scratch, and the counters are back at zero. The libraries stay
// loaded.
void shutdown();

}  // namespace soundsdl
