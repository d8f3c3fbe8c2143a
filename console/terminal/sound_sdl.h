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

// Stops the sound, frees the file, closes the device and shuts SDL down; the next call to
// playBackgroundSound starts from scratch, and the counters are back at zero.
void shutdown();

}  // namespace soundsdl
