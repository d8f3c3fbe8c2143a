// The main menu: the program's first screen, left for good by "Start game" or "Exit".
#pragma once

// Indices of the menu items; the selection is one of these and never wraps.
inline constexpr int kStartGameItem = 0;
inline constexpr int kAssistanceItem = 1;
inline constexpr int kInformationItem = 2;
inline constexpr int kExitItem = 3;

enum class MenuOutcome { KeepShowing, StartGame };

// What the menu remembers of its keys from pass to pass, so that it moves at a pace of its own
// whatever its pass rate: one item per press, a held arrow repeating at a steady rhythm, Enter
// acting once per press.
struct MenuKeys {
    static constexpr long long kLongAgoMs = -(1LL << 60);
    struct Hold {
        long long lastSeenPass = -2;  // the last pass that read the key pressed
        long long lastSeenMs = kLongAgoMs;
        long long pressMs = kLongAgoMs;  // when the press that began the hold was read
        long long nextRepeatMs = 0;
        bool repeating = false;  // the hold began with what may have been its first auto-repeat
    };
    Hold up;
    Hold down;
    Hold enter;
    long long pass = 0;
};

// One pass of the menu: heading, items and footer, the picture, the keys (Up, then Down, then
// Enter), then the highlight frame on the selected box. A help item shows its file and clears the
// console; "Exit" ends the program with status 0; "Start game" returns at once.
MenuOutcome menuPass(int& selection, MenuKeys& keys);

// Repeats menu passes, without any pause, until the player starts the game.
void runMainMenu(int& selection);
