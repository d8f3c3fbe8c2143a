// Loaded into the game (LD_PRELOAD) by the tmux driver's early-stop case: stops the game with
// SIGTSTP right after the GLYPH_STOP_AT-th change of the terminal's modes, as a Ctrl-Z at that
// moment would, and adds a line to the file GLYPH_BLANK_MODES for every change to modes that were
// never filled in (no character size, no receiver: a cleared termios).
#include <dlfcn.h>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>

extern "C" int tcsetattr(int fd, int action, const termios* modes) {
    using Real = int (*)(int, int, const termios*);
    static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "tcsetattr"));
    static const char* stopAtText = std::getenv("GLYPH_STOP_AT");
    static const int stopAt = stopAtText != nullptr ? std::atoi(stopAtText) : 0;
    static const char* blankLog = std::getenv("GLYPH_BLANK_MODES");
    static int calls = 0;
    if (modes->c_cflag == 0 && blankLog != nullptr) {
        const int log = open(blankLog, O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (log >= 0) write(log, "blank\n", 6), close(log);
    }
    const int result = real(fd, action, modes);
    if (++calls == stopAt) std::raise(SIGTSTP);
    return result;
}
