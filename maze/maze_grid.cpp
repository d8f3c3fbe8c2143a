#include "maze/maze_grid.h"

#include <cstring>

namespace {

// The level as the player first sees it. Each string is one row of 99 cells; the compiler adds the
// zero byte of column 99.
// clang-format off
constexpr char kLevel[kMazeRows][kMazeColumns] = {
    "3111111171111711111111111111111111111111111711111111111111111114   kiiiiiiiiiiiiiiiiil             ",  // 00
    "Q       2    2.......                     r2                   w   j                 j             ",  // 01
    "2            2.  .  .               r      2  . . . . . . . .  2   j                 j             ",  // 02
    "2       2    2.......         r            2  .             .  2   j                 j             ",  // 03
    "911111115    6AAAAAA4       M1111114       G  . . . . . . . .  2   Kiiiiiiiiiiiiiiiiiv             ",  // 04
    "2        a          2.......2......2.......2  .             .  2                                   ",  // 05
    "2             a     2.     .D......2.     .2  . . . . . . . .  2   kiiiiiiiiiiiiiiiiil             ",  // 06
    "2                  a2.......2......2.......2  .             .  2   j                 j             ",  // 07
    "911111111111111111115       F1111115       G  . . . . . . . .  2   j                 y             ",  // 08
    "2                          m2                                  2   j                 j             ",  // 09
    "2                          m2                                  2   Kiiiiiiiiiiiiiiiiiv             ",  // 10
    "9CCCCCCCCC11111111I1111111110   b 3111711111111n1N1n1N1pBPBpBBB0                                   ",  // 11
    "2.........         b        2.....2   E... ... ... ... ........2   kiiiiiiiiiiiiiiiiil             ",  // 12
    "2.........     b            2.   .2   E. . . . . . . . .      .2   j                 j             ",  // 13
    "2......... b                2.....I   E... ... ... ... ........2   j                 j             ",  // 14
    "9111111111111111111111      911111S1118111q717q111q111q717111110   j                 j             ",  // 15
    "2. . . .           c        U     T        2 2 ...     2 2.....2   Kiiiiiiiiiiiiiiiiiv             ",  // 16
    "2 .   .                     U  c  T   314  615     M14 615     G                                   ",  // 17
    "2. . . .   c                U     T   2 2      ... 2 2    .....2   kiiiiiiiiiiiiiiiiil             ",  // 18
    "911111111111171111I111717111S11111S1110 911111111118181714     G   j                 j             ",  // 19
    "2f           W        2 2   6111115   2 2  ... ... ... 2 2.....2   j                 j             ",  // 20
    "2f           W        615            a615  . . . . . . 615     G   j                 j             ",  // 21
    "2f           W              3111114        ... ... ...         2   Kiiiiiiiiiiiiiiiiiv             ",  // 22
    "911111111111181111111111111181111181111111N111n111N1111111111110                                   ",  // 23
    "2gggsssJJJLLL        zzx zx   zxzx zzx  zxzx       LLLJJJsssggg2   kiiiiiiiiiiiiiiiiil             ",  // 24
    "2gggsssJJJLLL       zx   zx   zxzx zxzx zxzx       LLLJJJsssggg2   j                 j             ",  // 25
    "2gggsssJJJLLL       zxzx zx    zx  zzx  zzzx       LLLJJJsssggg2   j                 j             ",  // 26
    "2gggsssJJJLLL        zzx zzzx  zx  zx   zxzx       LLLJJJsssggg2   j                 j             ",  // 27
    "6111111111111nnnnnnn111111111111111111111111nnnnnnn1111111111115   Kiiiiiiiiiiiiiiiiiv             ",  // 28
    "                                                                                                   ",  // 29
};
// clang-format on

}  // namespace

char mazeGrid[kMazeRows][kMazeColumns] = {};

void resetMazeGrid() {
    std::memcpy(mazeGrid, kLevel, sizeof mazeGrid);
}

namespace {
// Loads the level before the program's main flow starts.
const bool kLevelLoaded = (resetMazeGrid(), true);
}  // namespace
