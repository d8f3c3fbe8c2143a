// The main menu: the program's first screen, left for good by "Start game" or "Exit".
#pragma once

// Indices of the menu items; the selection is one of these and never wraps.
inline constexpr int kStartGameItem = 0;
inline constexpr int kAssistanceItem = 1;
inline constexpr int kInformationItem = 2;
inline constexpr int kExitItem = 3;

enum class MenuOutcome { KeepShowing, StartGame };

// One pass of the menu: heading, items and footer, the picture, the keys (Up, then Down, then
// Enter once per item), then the highlight frame on the selected box. A help item shows its file
// and clears the console; "Exit" ends the program with status 0; "Start game" returns at once.
MenuOutcome menuPass(int& selection);

// Repeats menu passes, without any pause, until the player starts the game.
void runMainMenu(int& selection);
