// Background sound on POSIX terminals, through SDL2_mixer.
//
// The device is opened on the first call and the file loaded on the first start; when either
// fails, the game stays silent and the attempt is not repeated on every tick. Audio libraries
// like to explain their failures on stderr, which is the player's screen: none of it gets there.
#include "console/terminal/sound_sdl.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "console/services.h"

namespace {

enum class Device { Untried, Open, Unavailable };

struct SoundState {
    Device device = Device::Untried;
    Mix_Music* music = nullptr;
    std::string musicPath;  // the file last tried, whether or not it loaded
    bool musicTried = false;
    bool exitHookSet = false;
    soundsdl::Counters counters;
};

SoundState state;

void discardLog(void*, int, SDL_LogPriority, const char*) {}

void discardAlsaError(const char*, int, const char*, int, const char*, ...) {}

// ALSA reports through its own handler, also from the audio thread while the sound plays (an
// underrun, for one). SDL loads libasound at run time; loading it here first, and keeping it
// loaded, lets us give that same library instance a handler that says nothing. Where there is no
// libasound there is nothing to silence.
void silenceAlsa() {
    void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
    if (alsa == nullptr) return;
    using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
    using SetHandler = int (*)(Handler);
    auto set = reinterpret_cast<SetHandler>(dlsym(alsa, "snd_lib_error_set_handler"));
    if (set != nullptr) set(discardAlsaError);
}

// Points stderr at /dev/null while it lives. Opening a device or a file goes through libraries
// that we have no handler for (sound servers, decoders), and any of them may print.
class QuietStderr {
public:
    QuietStderr() {
        std::fflush(stderr);
        saved_ = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
        int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (saved_ >= 0 && null >= 0) dup2(null, STDERR_FILENO);
        if (null >= 0) close(null);
    }
    ~QuietStderr() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        dup2(saved_, STDERR_FILENO);
        close(saved_);
    }
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

private:
    int saved_ = -1;
};

void shutdownAtExit() {
    soundsdl::shutdown();
}

// Opens the audio device once per run; a run without a device stays without one.
bool deviceOpen() {
    if (state.device != Device::Untried) return state.device == Device::Open;
    ++state.counters.deviceOpens;
    state.device = Device::Unavailable;

    SDL_LogSetOutputFunction(discardLog, nullptr);
    // The terminal layer owns SIGINT and SIGTERM; SDL would otherwise turn them into quit events
    // that nobody reads, and Ctrl-C would stop working.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    silenceAlsa();

    QuietStderr quiet;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    if (Mix_OpenAudio(MIX_DEFAULT_FREQUENCY, MIX_DEFAULT_FORMAT, 2, 2048) != 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    state.device = Device::Open;
    if (!state.exitHookSet) state.exitHookSet = std::atexit(shutdownAtExit) == 0;
    return true;
}

// The loaded file for this path, or null when it cannot be loaded. A path is tried once; a
// different path replaces the file (only ever asked for while nothing plays).
Mix_Music* musicFor(const char* path) {
    if (state.musicTried && state.musicPath == path) return state.music;
    if (state.music != nullptr) Mix_FreeMusic(state.music);
    ++state.counters.fileLoads;
    state.musicTried = true;
    state.musicPath = path;
    QuietStderr quiet;
    state.music = Mix_LoadMUS(dataFilePath(path).c_str());
    return state.music;
}

}  // namespace

void playBackgroundSound(const char* path) {
    // Starting only when nothing plays is what keeps a playing tune from being cut short.
    if (!deviceOpen() || Mix_PlayingMusic() != 0) return;
    Mix_Music* music = musicFor(path);
    if (music != nullptr && Mix_PlayMusic(music, 1) == 0) ++state.counters.starts;
}

void stopSound() {
    if (state.device == Device::Open) Mix_HaltMusic();
}

namespace soundsdl {

Counters counters() {
    return state.counters;
}

void shutdown() {
    if (state.device == Device::Open) Mix_HaltMusic();
    if (state.music != nullptr) Mix_FreeMusic(state.music);
    if (state.device == Device::Open) Mix_CloseAudio();
    if (state.device != Device::Untried) SDL_Quit();
    const bool exitHookSet = state.exitHookSet;
    state = SoundState{};
    state.exitHookSet = exitHookSet;
}

}  // namespace soundsdl
