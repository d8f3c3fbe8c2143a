// Background sound on POSIX terminals, through SDL2_mixer.
//
// SDL2 and SDL2_mixer (and the sixty shared objects they bring) are loaded when the first sound
// is wanted, not when the program starts: the menu comes up sooner and stays small. Where they
// are not installed the game is silent. The device is opened on the first call and the file
// loaded on the first start; when either fails, the game stays silent and the attempt is not
// repeated on every tick. Stopping closes the device, so that no audio thread keeps waking while
// the end screen stands. Audio libraries like to explain their failures on stderr, which is the
// player's screen: none of it gets there.
#include "console/terminal/sound_sdl.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "console/services.h"

namespace {

enum class Device { Untried, Open, Unavailable };

// The few functions of SDL2 and SDL2_mixer the sound needs, looked up once they are loaded.
struct Library {
    bool tried = false;
    bool loaded = false;
    decltype(&SDL_LogSetOutputFunction) logSetOutputFunction = nullptr;
    decltype(&SDL_SetHint) setHint = nullptr;
    decltype(&SDL_InitSubSystem) initSubSystem = nullptr;
    decltype(&SDL_QuitSubSystem) quitSubSystem = nullptr;
    decltype(&SDL_Quit) quit = nullptr;
    decltype(&Mix_OpenAudio) openAudio = nullptr;
    decltype(&Mix_CloseAudio) closeAudio = nullptr;
    decltype(&SDL_RWFromFP) rwFromFile = nullptr;
    decltype(&Mix_LoadMUS_RW) loadMusic = nullptr;
    decltype(&Mix_FreeMusic) freeMusic = nullptr;
    decltype(&Mix_PlayMusic) playMusic = nullptr;
    decltype(&Mix_PlayingMusic) playingMusic = nullptr;
    decltype(&Mix_HaltMusic) haltMusic = nullptr;
};

Library sdl;
std::string sdlFile = soundsdl::kSdlLibrary;
std::string mixerFile = soundsdl::kMixerLibrary;

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

template <typename Function>
bool find(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
}

// Loads the libraries once per run; they stay loaded, as SDL expects of itself.
bool libraryLoaded() {
    if (sdl.tried) return sdl.loaded;
    sdl.tried = true;
    void* core = dlopen(sdlFile.c_str(), RTLD_NOW | RTLD_LOCAL);
    void* mixer = core != nullptr ? dlopen(mixerFile.c_str(), RTLD_NOW | RTLD_LOCAL) : nullptr;
    if (mixer == nullptr) return false;
    sdl.loaded = find(core, "SDL_LogSetOutputFunction", sdl.logSetOutputFunction) &&
                 find(core, "SDL_SetHint", sdl.setHint) &&
                 find(core, "SDL_InitSubSystem", sdl.initSubSystem) &&
                 find(core, "SDL_QuitSubSystem", sdl.quitSubSystem) &&
                 find(core, "SDL_Quit", sdl.quit) && find(core, "SDL_RWFromFP", sdl.rwFromFile) &&
                 find(mixer, "Mix_OpenAudio", sdl.openAudio) &&
                 find(mixer, "Mix_CloseAudio", sdl.closeAudio) &&
                 find(mixer, "Mix_LoadMUS_RW", sdl.loadMusic) &&
                 find(mixer, "Mix_FreeMusic", sdl.freeMusic) &&
                 find(mixer, "Mix_PlayMusic", sdl.playMusic) &&
                 find(mixer, "Mix_PlayingMusic", sdl.playingMusic) &&
                 find(mixer, "Mix_HaltMusic", sdl.haltMusic);
    return sdl.loaded;
}

// The device closed and the file freed; SDL itself stays up until shutdown.
void closeDevice() {
    if (state.device == Device::Open) sdl.haltMusic();
    if (state.music != nullptr) sdl.freeMusic(state.music);
    if (state.device == Device::Open) {
        sdl.closeAudio();
        sdl.quitSubSystem(SDL_INIT_AUDIO);
    }
    state.music = nullptr;
    state.musicTried = false;
    state.musicPath.clear();
    if (state.device == Device::Open) state.device = Device::Untried;
}

// The file under `path`, opened for reading when it is a plain file: a pipe or a device under
// the tune's name would hold the game until someone wrote to it. The check is made on what was
// opened, so the name cannot be swapped for a pipe between the check and the load.
std::FILE* openPlainFile(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat info {};
    std::FILE* file = nullptr;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0) {
        file = fdopen(fd, "rb");
    }
    if (file == nullptr) close(fd);
    return file;
}

void shutdownAtExit() {
    soundsdl::shutdown();
}

// Opens the audio device once per run; a run without a device stays without one.
bool deviceOpen() {
    if (state.device != Device::Untried) return state.device == Device::Open;
    ++state.counters.deviceOpens;
    state.device = Device::Unavailable;

    QuietStderr quiet;  // the dynamic loader too may have something to say
    if (!libraryLoaded()) return false;
    sdl.logSetOutputFunction(discardLog, nullptr);
    // The terminal layer owns SIGINT and SIGTERM; SDL would otherwise turn them into quit events
    // that nobody reads, and Ctrl-C would stop working.
    sdl.setHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    silenceAlsa();

    if (sdl.initSubSystem(SDL_INIT_AUDIO) != 0) return false;
    if (sdl.openAudio(MIX_DEFAULT_FREQUENCY, MIX_DEFAULT_FORMAT, 2, 2048) != 0) {
        sdl.quitSubSystem(SDL_INIT_AUDIO);
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
    if (state.music != nullptr) sdl.freeMusic(state.music);
    ++state.counters.fileLoads;
    state.musicTried = true;
    state.musicPath = path;
    QuietStderr quiet;
    const std::string file = dataFilePath(path);
    std::FILE* opened = openPlainFile(file);
    SDL_RWops* stream = opened != nullptr ? sdl.rwFromFile(opened, SDL_TRUE) : nullptr;
    if (opened != nullptr && stream == nullptr) std::fclose(opened);
    // The music owns the stream from here, and closes it when it fails to load or is freed.
    state.music = stream != nullptr ? sdl.loadMusic(stream, 1) : nullptr;
    return state.music;
}

}  // namespace

void playBackgroundSound(const char* path) {
    // Starting only when nothing plays is what keeps a playing tune from being cut short.
    if (!deviceOpen() || sdl.playingMusic() != 0) return;
    Mix_Music* music = musicFor(path);
    if (music != nullptr && sdl.playMusic(music, 1) == 0) ++state.counters.starts;
}

void stopSound() {
    closeDevice();
}

namespace soundsdl {

Counters counters() {
    return state.counters;
}

void useLibraries(const char* sdlLibrary, const char* mixerLibrary) {
    shutdown();
    sdlFile = sdlLibrary;
    mixerFile = mixerLibrary;
    sdl = Library{};
}

void shutdown() {
    closeDevice();
    if (sdl.loaded) sdl.quit();
    const bool exitHookSet = state.exitHookSet;
    state = SoundState{};
    state.exitHookSet = exitHookSet;
}

}  // namespace soundsdl
