// Start-up: the first thing the program does, before the main menu.
#pragma once

#include "play/game_state.h"

// The help files, written into the working directory at every start and opened from the menu
// under these same relative names.
inline constexpr const char* kAssistanceFile = "Assistance.txt";
inline constexpr const char* kInformationFile = "Information.txt";

// Gives the game and the menu selection their initial values, hides the cursor, writes both help
// files anew and clears the console, ready for the main menu. Nothing is drawn before the clear.
void startUp(GameState& game, int& menuSelection);

// Writes "Assistance.txt" and then "Information.txt" in text mode, each replacing any earlier
// copy. A file that cannot be opened is skipped without a word; the other is still written.
void writeHelpFiles();
