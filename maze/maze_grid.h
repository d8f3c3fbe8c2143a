// The maze grid: the one level of the game and the live state of its enemies.
//
// 30 rows of 100 bytes; cell (column c, row r) is grid[r][c] and is drawn at console column c,
// row r. Columns 0 to 98 hold cell codes, column 99 the zero byte that ends each row as a string.
// A grid is a plain value: each game holds its own copy of the level and changes it as it goes.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

inline constexpr int kMazeRows = 30;
inline constexpr int kMazeColumns = 100;
inline constexpr int kMazeCellsPerRow = kMazeColumns - 1;  // the last byte ends the row

struct MazeGrid {
    char cells[kMazeRows][kMazeColumns];

    constexpr char* operator[](int row) { return cells[row]; }
    constexpr const char* operator[](int row) const { return cells[row]; }
};

// The level as the player first sees it. Each string is one row of 99 cells; the compiler adds the
// zero byte of column 99. This picture is the only place that says where a door, a gate, a
// hidden passage or the finish lies: the tables of the game read their cells off it.
// clang-format off
inline constexpr MazeGrid kLevel = {{
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
}};
// clang-format on

// Cell codes whose letters would hide their meaning. Walls, frames, launchers and walkers are
// named by the tables that give them their looks and behaviour.
namespace Cell {
inline constexpr char Floor = ' ';
inline constexpr char Dot = '.';
inline constexpr char Finish = 'f';
inline constexpr char GreenDoor = 'A';
inline constexpr char RedDoor = 'B';
inline constexpr char YellowDoor = 'C';
inline constexpr char YellowDoorSide = 'D';
inline constexpr char AquaDoor = 'E';
inline constexpr char PurpleDoor = 'U';
inline constexpr char GrayDoor = 'T';
inline constexpr char WhiteDoor = 'W';
inline constexpr char OneWayGate = 'I';
inline constexpr char HiddenLeftWall = 'Q';
inline constexpr char HiddenPassage = 'w';
inline constexpr char BoxOpening = 'y';
inline constexpr char ShotLeft = 'O';
inline constexpr char ShotUp = 'H';
inline constexpr char GrayShotUp = 'h';
inline constexpr char GrayWalker = 'c';
}  // namespace Cell

// ---- Reading a grid at compile time, so that tables of cells are derived from the level.

struct CellPos {
    int column;
    int row;

    friend constexpr bool operator==(CellPos, CellPos) = default;
};

// A row of neighbouring cells: `length` cells from (column, row) rightward.
struct CellRun {
    int column;
    int row;
    int length;
};

// A list built at compile time in an array of fixed size. It counts what did not fit, so that a
// static_assert on fits() fails when the level outgrows the array.
template <typename T, std::size_t Capacity>
class FixedList {
public:
    constexpr void add(const T& item) {
        if (size_ < Capacity) items_[size_] = item;
        ++size_;
    }
    constexpr bool fits() const { return size_ <= Capacity; }
    constexpr std::size_t size() const { return std::min(size_, Capacity); }
    constexpr bool empty() const { return size_ == 0; }
    constexpr const T* begin() const { return items_.data(); }
    constexpr const T* end() const { return items_.data() + size(); }
    constexpr const T& operator[](std::size_t index) const { return items_[index]; }

private:
    std::array<T, Capacity> items_{};
    std::size_t size_ = 0;
};

// Every cell whose code passes `holds`, row by row from the top, each row from the left.
template <std::size_t Capacity, typename Holds>
constexpr FixedList<CellPos, Capacity> cellsWhere(const MazeGrid& grid, Holds holds) {
    FixedList<CellPos, Capacity> cells;
    for (int row = 0; row < kMazeRows; ++row)
        for (int column = 0; column < kMazeCellsPerRow; ++column)
            if (holds(grid[row][column])) cells.add({column, row});
    return cells;
}

// The same cells, joined into runs of neighbours within a row, in the same order.
template <std::size_t Capacity, typename Holds>
constexpr FixedList<CellRun, Capacity> runsWhere(const MazeGrid& grid, Holds holds) {
    FixedList<CellRun, Capacity> runs;
    for (int row = 0; row < kMazeRows; ++row) {
        for (int column = 0; column < kMazeCellsPerRow; ++column) {
            if (!holds(grid[row][column])) continue;
            const int first = column;
            while (column + 1 < kMazeCellsPerRow && holds(grid[row][column + 1])) ++column;
            runs.add({first, row, column - first + 1});
        }
    }
    return runs;
}

// Every cell holding one of `codes`.
template <std::size_t Capacity>
constexpr FixedList<CellPos, Capacity> cellsHolding(const MazeGrid& grid, std::string_view codes) {
    return cellsWhere<Capacity>(
        grid, [codes](char code) { return codes.find(code) != std::string_view::npos; });
}

// How many cells hold `code`.
constexpr int countCells(const MazeGrid& grid, char code) {
    int count = 0;
    for (int row = 0; row < kMazeRows; ++row)
        for (int column = 0; column < kMazeCellsPerRow; ++column)
            if (grid[row][column] == code) ++count;
    return count;
}

// Whether every row holds 99 cells and then the zero byte that ends it.
constexpr bool rowsEndAtTheirLastByte(const MazeGrid& grid) {
    for (int row = 0; row < kMazeRows; ++row) {
        if (grid[row][kMazeCellsPerRow] != '\0') return false;
        for (int column = 0; column < kMazeCellsPerRow; ++column)
            if (grid[row][column] == '\0') return false;
    }
    return true;
}
static_assert(rowsEndAtTheirLastByte(kLevel), "a row of the level is not 99 cells long");
