// Whether the terminal named by TERM can show the game. Internal to the terminal backend.
#pragma once

#include <string>

namespace terminal {

// Why the terminal type named by TERM cannot show the game (unset, unknown to this system, or
// unable to place the cursor), as the start of a message; empty when it can. Asks the terminal
// database only: nothing is drawn or printed.
std::string terminalTypeProblem(int fd);

}  // namespace terminal
