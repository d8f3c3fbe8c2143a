// A fresh game on the initial level for the tests of the play loop and its phases, with helpers
// that paint small grid scenarios and hold keys for one tick.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string_view>

#include "maze/maze_grid.h"
#include "play/game_state.h"
#include "play/play_loop.h"
#include "tests/support/test_console.h"

class PlayTest : public ::testing::Test {
  protected:
    void SetUp() override {
        resetMazeGrid();
        testconsole::reset();
        testservices::reset();
    }

    // Blanks every cell of the grid, keeping the zero byte that ends each row.
    static void blankGrid() {
        for (auto& row : mazeGrid) std::memset(row, Cell::Floor, kMazeCellsPerRow);
    }

    // Writes rows of cell codes into the grid from (column, row) on.
    static void paint(int column, int row, std::initializer_list<std::string_view> lines) {
        for (const std::string_view line : lines)
            std::memcpy(&mazeGrid[row++][column], line.data(), line.size());
    }

    void placePlayer(int column, int row) {
        game.playerCol = column;
        game.playerRow = row;
    }

    TickOutcome tickHolding(std::initializer_list<Key> keys) {
        testconsole::holdOnly(keys);
        return playTick(game);
    }

    static char gridAt(int column, int row) { return mazeGrid[row][column]; }
    static const ScreenCell& shown(int column, int row) { return testconsole::cell(column, row); }

    GameState game;
};
