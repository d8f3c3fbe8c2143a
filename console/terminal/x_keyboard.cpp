#include "console/terminal/x_keyboard.h"

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "console/terminal/terminal_session.h"

namespace terminal::xkeyboard {
namespace {

// The few parts of Xlib used here, declared by hand so that building needs no X headers either.
struct Display;
using KeySym = unsigned long;
using KeyCode = unsigned char;
using ErrorHandler = int (*)(Display*, void*);
using IOErrorHandler = int (*)(Display*);
using IOErrorExitHandler = void (*)(Display*, void*);

// Key symbols of the X protocol: the arrows and Return, on the main block and on the keypad.
constexpr KeySym kSymbols[][2] = {
    {0xFF0D, 0xFF8D},  // Return, KP_Enter
    {0xFF51, 0xFF96},  // Left, KP_Left
    {0xFF52, 0xFF97},  // Up, KP_Up
    {0xFF53, 0xFF98},  // Right, KP_Right
    {0xFF54, 0xFF99},  // Down, KP_Down
};
static_assert(std::size(kSymbols) == std::size(kViewKeys));

// While a key is watched the key map is looked at this often: a release is seen within it.
constexpr auto kLookInterval = std::chrono::milliseconds(4);

struct Xlib {
    Display* (*openDisplay)(const char*) = nullptr;
    int (*queryKeymap)(Display*, char*) = nullptr;
    KeyCode (*keysymToKeycode)(Display*, KeySym) = nullptr;
    ErrorHandler (*setErrorHandler)(ErrorHandler) = nullptr;
    IOErrorHandler (*setIOErrorHandler)(IOErrorHandler) = nullptr;
    // libX11 1.7 and later: lets a lost connection end something other than the process.
    void (*setIOErrorExitHandler)(Display*, IOErrorExitHandler, void*) = nullptr;
};

// What the game's thread and the reader's thread share. Made once and never destroyed, so that
// the reader, which is never joined, cannot outlive it when the program exits.
struct Shared {
    std::mutex mutex;
    std::condition_variable changed;
    bool started = false;
    bool connected = false;
    bool wanted = false;
    bool stopped = false;
    unsigned inputSerial = 0;  // counts inputArrived()
    bool haveView = false;
    unsigned viewSerial = 0;  // inputSerial when the look was requested
    std::uint8_t viewMask = 0;
    long long viewRequestedMs = 0;
};

Shared& shared() {
    static Shared* const instance = new Shared;
    return *instance;
}

// Set from Xlib's handler when the connection breaks; the reader then stops.
std::atomic<bool> connectionLost{false};

int ignoreError(Display*, void*) {
    return 0;  // a failed request changes nothing here; the default handler would end the program
}

void ignoreLostConnection(Display*, void*) {}

bool haveExitHandler = false;

int onLostConnection(Display*) {
    connectionLost = true;
    // Returning would make an older Xlib end the whole program: park this thread for good. The
    // game goes on without looks, as on a terminal without X.
    while (!haveExitHandler) sleep(3600);
    return 0;
}

template <typename Function>
bool lookUp(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
}

bool loadXlib(Xlib& x) {
    void* library = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return false;
    const bool found = lookUp(library, "XOpenDisplay", x.openDisplay) &&
                       lookUp(library, "XQueryKeymap", x.queryKeymap) &&
                       lookUp(library, "XKeysymToKeycode", x.keysymToKeycode) &&
                       lookUp(library, "XSetErrorHandler", x.setErrorHandler) &&
                       lookUp(library, "XSetIOErrorHandler", x.setIOErrorHandler);
    haveExitHandler = lookUp(library, "XSetIOErrorExitHandler", x.setIOErrorExitHandler);
    return found;
}

std::uint8_t downMask(const char (&map)[32], const std::vector<KeyCode> (&codes)[5]) {
    std::uint8_t mask = 0;
    for (std::size_t key = 0; key < std::size(codes); ++key) {
        for (const KeyCode code : codes[key]) {
            if ((map[code / 8] >> (code % 8)) & 1) mask |= static_cast<std::uint8_t>(1u << key);
        }
    }
    return mask;
}

// Connects, then looks at the key map whenever the game wants it, until stopped.
void read() {
    Shared& s = shared();
    Xlib x;
    Display* display = nullptr;
    std::vector<KeyCode> codes[std::size(kSymbols)];
    if (loadXlib(x)) {
        x.setErrorHandler(ignoreError);
        x.setIOErrorHandler(onLostConnection);
        display = x.openDisplay(nullptr);
    }
    if (display != nullptr && haveExitHandler)
        x.setIOErrorExitHandler(display, ignoreLostConnection, nullptr);
    bool arrows = false;
    for (std::size_t key = 0; display != nullptr && key < std::size(kSymbols); ++key) {
        for (const KeySym symbol : kSymbols[key]) {
            if (const KeyCode code = x.keysymToKeycode(display, symbol); code != 0) {
                codes[key].push_back(code);
                arrows |= kViewKeys[key] != Key::Enter;
            }
        }
    }
    std::unique_lock lock(s.mutex);
    s.connected = arrows && !connectionLost;
    while (s.connected) {
        s.changed.wait(lock, [&] { return s.wanted || s.stopped; });
        if (s.stopped) break;
        const unsigned serial = s.inputSerial;
        const long long requestedMs = nowMs();
        lock.unlock();

        char map[32] = {};
        x.queryKeymap(display, map);
        const std::uint8_t mask = downMask(map, codes);

        lock.lock();
        if (connectionLost) break;
        s.haveView = true;
        s.viewSerial = serial;
        s.viewMask = mask;
        s.viewRequestedMs = requestedMs;
        s.changed.wait_for(lock, kLookInterval, [&] { return s.stopped; });
    }
    // A display that was lost or given up is left as it is: closing it could block, or meet the
    // same error again.
    s.connected = false;
}

}  // namespace

void start() {
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0') return;
    Shared& s = shared();
    {
        std::lock_guard lock(s.mutex);
        if (s.started) return;
        s.started = true;
    }
    // Signals are the main thread's business: the reader starts with all of them blocked.
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &previous);
    try {
        std::thread(read).detach();
    } catch (const std::system_error&) {
        // No thread: no looks, as without X.
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

void watch(bool wanted) {
    Shared& s = shared();
    std::lock_guard lock(s.mutex);
    if (s.wanted == wanted) return;
    s.wanted = wanted;
    s.changed.notify_all();
}

void inputArrived() {
    Shared& s = shared();
    std::lock_guard lock(s.mutex);
    ++s.inputSerial;
}

bool latestView(std::uint8_t& downMask, long long& requestedMs) {
    Shared& s = shared();
    std::lock_guard lock(s.mutex);
    if (!s.connected || !s.haveView || s.viewSerial != s.inputSerial) return false;
    downMask = s.viewMask;
    requestedMs = s.viewRequestedMs;
    return true;
}

void stop() {
    Shared& s = shared();
    std::lock_guard lock(s.mutex);
    s.stopped = true;
    s.connected = false;
    s.changed.notify_all();
}

bool connected() {
    Shared& s = shared();
    std::lock_guard lock(s.mutex);
    return s.connected;
}

}  // namespace terminal::xkeyboard
