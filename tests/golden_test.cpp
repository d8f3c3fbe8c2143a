// Golden screens: the whole picture of a few scenes of the game, glyph and colour of every cell,
// against its file in tests/golden. A file holds a title, the 30 rows of glyphs (code page 437 as
// Unicode) and the 30 rows of colour digits (blank where the cell shows nothing), each row between
// bars so that no editor trims it. A failure lists the differing rows and leaves the picture
// drawn beside the build; with GLYPH_GOLDEN_WRITE set (the target golden-screens) the test writes
// the files anew instead.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "console/cp437.h"
#include "console/headless/test_console.h"
#include "front/main_menu.h"
#include "play/end_screens.h"
#include "play/play_loop.h"
#include "play/switches.h"
#include "tools/route_finder_script.h"

namespace {

namespace fs = std::filesystem;
constexpr int kColumns = ScreenModel::kColumns, kRows = ScreenModel::kRows;

// ---- The scenes, each played from a fresh test console.

GameState freshGame() {
    testconsole::reset();
    testservices::reset();
    GameState game;
    beginGame(game);
    return game;
}

GameState replayed(const char* route) {
    GameState game = freshGame();
    if (const auto keys = readKeyScript(std::string(GLYPH_ROUTES_DIR) + "/" + route))
        replayKeyScript(*keys, game);
    return game;
}

// The end screen once it has cleared the play screen and drawn its first pass.
void showEndScreen(const GameState& game) {
    clearScreen();
    drawEndScreenPass(game, computeTotalScore(game));
}

// The player is put on each switch in turn for one tick, then a gray walker on the gray one, so
// every door shows its whole opening and no cell of it has been crossed. The player's square is
// drawn under each switch's circle, so moving him leaves nothing behind.
void everySwitch() {
    GameState game = freshGame();
    for (const bool byWalker : {false, true})
        for (const Door& door : kDoors) {
            if (door.workedByWalker != byWalker) continue;
            const auto [column, row] = door.switchCell;
            if (byWalker)
                game.grid[row][column] = Cell::GrayWalker;
            else
                std::tie(game.playerCol, game.playerRow) = std::pair(column, row);
            playTick(game);
        }
}

struct Scene {
    const char* name;   // the file is tests/golden/<name>.txt
    const char* title;  // what the picture shows, the file's first line
    void (*play)();
};

void PrintTo(const Scene& scene, std::ostream* out) {
    *out << scene.name;
}

const Scene kScenes[] = {
    {"first-tick", "The game after its first tick, no key held.",
     [] {
         GameState game = freshGame();
         playTick(game);
     }},
    {"every-switch",
     "Each switch worked for one tick: the player put on them in turn, then a gray walker on the "
     "gray one.",
     everySwitch},
    {"tour",
     "After tests/routes/tour.txt: every door open, the hidden cell found and left, the player in "
     "the second status box.",
     [] { replayed("tour.txt"); }},
    {"win", "The win screen after tests/routes/win.txt.",
     [] { showEndScreen(replayed("win.txt")); }},
    {"loss", "The loss screen after tests/routes/caught.txt.",
     [] { showEndScreen(replayed("caught.txt")); }},
    {"menu", "The main menu's first pass, no key held.",
     [] {
         testconsole::reset();
         int selection = 0;
         MenuKeys keys;
         menuPass(selection, keys);
     }},
};

// ---- The files.

std::string glyph(unsigned char byte) {
    std::string text;
    appendUtf8(text, cp437ToUnicode(byte));
    return text;
}

std::string goldenText(const ScreenModel& screen, const char* title) {
    std::string text =
        std::string(title) +
        "\nEach cell twice: its glyph under \"glyphs\", then its colour under "
        "\"colours\": 1 Blue, 2 Green,\n3 Aqua, 4 Red, 5 Purple, 6 Yellow, 7 White, 8 "
        "Gray, 9 Light Blue; blank where the cell shows nothing.\n";
    for (const bool colours : {false, true}) {
        text += colours ? "colours\n" : "glyphs\n";
        for (int row = 0; row < kRows; ++row) {
            text += std::to_string(100 + row).substr(1);  // 00 to 29
            text += '|';
            for (int column = 0; column < kColumns; ++column) {
                const ScreenCell& cell = screen.at(column, row);
                const bool blank = cell.glyph == ' ' || cell.glyph == '\0';  // whatever its colour
                text += blank     ? " "
                        : colours ? std::string(1, '0' + static_cast<int>(cell.attr))
                                  : glyph(cell.glyph);
            }
            text += "|\n";
        }
    }
    return text;
}

// The rows in which two golden files differ, at most 10 of them, each as expected and as drawn.
std::string rowDifferences(const std::string& expected, const std::string& actual) {
    std::istringstream want(expected), got(actual);
    std::string differences, wanted, drawn;
    for (int line = 1, count = 0; want || got; ++line) {
        wanted.clear(), drawn.clear();
        std::getline(want, wanted), std::getline(got, drawn);
        if (wanted != drawn && ++count <= 10)
            differences += "  line " + std::to_string(line) + ": expected\n  " + wanted +
                           "\n  drawn\n  " + drawn + "\n";
    }
    return differences;
}

class Golden : public ::testing::TestWithParam<Scene> {};

TEST_P(Golden, ScreenMatchesItsFile) {
    const Scene& scene = GetParam();
    scene.play();
    const std::string drawn = goldenText(testconsole::screen(), scene.title);
    const fs::path expected = fs::path(GLYPH_GOLDEN_DIR) / (std::string(scene.name) + ".txt");
    if (std::getenv("GLYPH_GOLDEN_WRITE") != nullptr) {
        ASSERT_TRUE(std::ofstream(expected, std::ios::binary) << drawn) << expected;
        std::printf("wrote %s\n", expected.string().c_str());
        return;
    }
    std::ifstream file(expected, std::ios::binary);
    ASSERT_TRUE(file) << expected << " is missing: build the target golden-screens to write it";
    const std::string differences =
        rowDifferences({std::istreambuf_iterator<char>(file), {}}, drawn);
    if (differences.empty()) return;

    const fs::path actual = fs::path(GLYPH_GOLDEN_ACTUAL_DIR) / (std::string(scene.name) + ".txt");
    fs::create_directories(actual.parent_path());
    std::ofstream(actual, std::ios::binary) << drawn;
    ADD_FAILURE() << scene.name << ": the screen differs from " << expected << " in\n"
                  << differences << "The screen as drawn: " << actual
                  << "\nIf the change is meant, build the target golden-screens and review the "
                     "diff of tests/golden.";
}

INSTANTIATE_TEST_SUITE_P(Scenes, Golden, ::testing::ValuesIn(kScenes), [](const auto& info) {
    std::string name = info.param.name;
    for (char& c : name)
        if (c == '-') c = '_';
    return name;
});

}  // namespace
