// The maze grid: the one level of the game and the live state of its enemies.
//
// 30 rows of 100 bytes; cell (column c, row r) is mazeGrid[r][c] and is drawn at console column c,
// row r. Columns 0 to 98 hold cell codes, column 99 the zero byte that ends each row as a string.
#pragma once

inline constexpr int kMazeRows = 30;
inline constexpr int kMazeColumns = 100;
inline constexpr int kMazeCellsPerRow = kMazeColumns - 1;  // the last byte ends the row

extern char mazeGrid[kMazeRows][kMazeColumns];

// Puts the initial level back into the grid. The game itself loads it once, before anything runs;
// tests and tools that play several games in one process start each one from here.
void resetMazeGrid();

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
