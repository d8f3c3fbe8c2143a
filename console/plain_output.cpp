#include "console/plain_output.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace plainoutput {
namespace {

struct Sweeps {
    std::string current;       // written since the sweep began, not yet sent
    bool currentSent = false;  // part of it went out at a pause
    std::string previous;      // the whole of the sweep before, when none of it went out early
    bool previousKnown = true;
    bool exitHookSet = false;
};
Sweeps sweeps;

void send(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

// What the game wrote after its last whole sweep is not lost at exit, unless it only repeats it.
void sendRest() {
    const bool repeat =
        !sweeps.currentSent && sweeps.previousKnown && sweeps.previous.starts_with(sweeps.current);
    if (!repeat) send(sweeps.current);
    sweeps.current.clear();
}

}  // namespace

void write(unsigned char byte) {
    if (!sweeps.exitHookSet) sweeps.exitHookSet = std::atexit(sendRest) == 0;
    sweeps.current += static_cast<char>(byte);
}

void flush() {
    if (sweeps.current.empty()) return;
    send(sweeps.current);
    sweeps.current.clear();
    sweeps.currentSent = true;
}

void endSweep() {
    const bool repeat =
        !sweeps.currentSent && sweeps.previousKnown && sweeps.current == sweeps.previous;
    if (!repeat) send(sweeps.current);
    sweeps.previousKnown = !sweeps.currentSent;
    sweeps.previous.swap(sweeps.current);
    sweeps.current.clear();
    sweeps.currentSent = false;
}

}  // namespace plainoutput
