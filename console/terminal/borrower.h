// Another program on the game's terminal (the help viewer): it runs in a process group of its own
// that holds the terminal's foreground, so that Ctrl-C and Ctrl-Z are its own; it is ended with
// the game, and when it stops, the game stops with it. Internal to the terminal backend.
#pragma once

#include <string>
#include <vector>

namespace terminal {

// Runs the program at `path` with `arguments` (the first its own name) on the terminal, which the
// game has handed over, and returns when it has ended. Stopped (Ctrl-Z in it, or a signal), it
// takes the game down with it to the shell, as one job; when the game is continued in the
// foreground, so is the program, in the terminal modes it had.
void runBorrower(const std::string& path, const std::vector<std::string>& arguments);

// For the handlers of signals that end the game; async-signal-safe. Ends a program that borrows
// the terminal with the same signal (every process of its group, and for good after a grace
// period) and gives the game its terminal's foreground back. True if one was running.
bool endBorrower(int signal);

}  // namespace terminal
