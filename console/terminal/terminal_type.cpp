// Kept apart from the rest of the backend: term.h defines its capabilities as macros with
// everyday names (columns, lines).
#include "console/terminal/terminal_type.h"

#include <cstdlib>

#include "console/terminal/curses.h"
// After curses.h, which it builds on.
#include <term.h>

namespace terminal {

std::string terminalTypeProblem(int fd) {
    const char* term = std::getenv("TERM");
    if (term == nullptr || *term == '\0')
        return "TERM is not set, so the terminal's type is unknown";
    const std::string type = std::string("the terminal type '") + term + "' (TERM)";
    int error = 0;
    if (setupterm(term, fd, &error) != OK) return type + " is not known on this system";
    const bool addressable = cursor_address != nullptr && !hard_copy;
    del_curterm(cur_term);
    return addressable ? "" : type + " that cannot place the cursor";
}

}  // namespace terminal
