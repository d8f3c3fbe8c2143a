// The play loop and its phases on the level, the end screens and the banner, headless. What a
// whole screen shows is pinned by the golden screens; these tests pin the rules, one set-up each.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <ostream>
#include <regex>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "console/headless/test_console.h"
#include "maze/maze_grid.h"
#include "maze/maze_renderer.h"
#include "play/banner.h"
#include "play/end_screens.h"
#include "play/enemies.h"
#include "play/movement.h"
#include "play/switches.h"
#include "tools/route_finder_script.h"

static void PrintTo(const CellPos& cell, std::ostream* out) {
    *out << "(" << cell.column << "," << cell.row << ")";
}

namespace {

using enum Key;
using testconsole::cell;
using testconsole::screen;
using Keys = std::initializer_list<Key>;

// A game at its start with the player at (column, row), on a fresh test console.
GameState gameAt(int column, int row) {
    testconsole::reset();
    testservices::reset();
    GameState game;
    game.playerCol = column;
    game.playerRow = row;
    return game;
}

TickOutcome moveWith(GameState& game, Keys keys) {
    testconsole::holdOnly(keys);
    return movePlayer(game);
}

std::string shownTime() {
    return screen().rowText(20).substr(69, 10);
}

// ---- The play loop.

// `timeLeft` stops one tick past zero, `elapsedTicks` one tick past 5000.
TEST(PlayLoop, TheClockStopsAtMinusOneAndTheTickCountAt5001) {
    const std::tuple<int, int, int, int> cases[] = {
        {3000, 0, 2999, 1}, {0, 5000, -1, 5001}, {-1, 5001, -1, 5001}};
    for (const auto& [timeLeft, elapsed, timeAfter, elapsedAfter] : cases) {
        GameState game = gameAt(4, 2);
        game.timeLeft = timeLeft;
        game.elapsedTicks = elapsed;
        playTick(game);
        EXPECT_EQ(std::pair(game.timeLeft, game.elapsedTicks), std::pair(timeAfter, elapsedAfter))
            << "from " << timeLeft << ", " << elapsed;
    }
}

TEST(PlayLoop, AShorterNumberLeavesTheLastDigitsOfTheLongerOne) {
    GameState game = gameAt(4, 2);
    game.timeLeft = 1001;
    playTick(game);
    EXPECT_EQ(shownTime(), "Time: 1000");
    playTick(game);
    EXPECT_EQ(shownTime(), "Time: 9990");
}

// The tick that ends the game stops after the moves: the status lines stay those of the tick
// before, and there is no pause.
TEST(PlayLoop, ATickThatEndsTheGameDrawsNothingAfterTheMoves) {
    GameState game = gameAt(4, 2);
    playTick(game);
    game.grid[2][4] = 'r';
    EXPECT_EQ(playTick(game), TickOutcome::Caught);
    EXPECT_EQ(shownTime(), "Time: 2999");
    EXPECT_EQ(testconsole::clockMs(), 100);
}

// The attribute the bottom strip leaves is the one the banner is typed in at the next tick's head.
// Every tick also asks for the background sound.
TEST(PlayLoop, BottomLaunchersLeaveTheirAttributeInForceForTheBannerAndEveryTickAsksForTheSound) {
    GameState game = gameAt(4, 2);
    game.bannerActive = true;
    for (int tick = 1; tick <= 12; ++tick) {
        playTick(game);
        EXPECT_EQ(screen().attr(), tick % 4 == 1 ? Colour::Blue : Colour::Aqua) << tick;
    }
    EXPECT_EQ(testconsole::clockMs(), 12 * (39 * 72 * 10 + 100));
    EXPECT_EQ(testservices::calls(), std::vector<std::string>(12, "play res/Glyph.wav"));
}

// ---- Movement.

struct MoveCase {
    const char* rule;
    CellPos start;
    Keys keys;
    CellPos end;
    int steps;
    CellPos put = {0, 0};  // a cell given the code `code` first, if any
    char code = '\0';
    bool aquaDoorOpen = false;
};

TEST(Movement, KeysAreReadInOrderEachMoveFromWhereTheLastOneLeftThePlayer) {
    const MoveCase cases[] = {
        {"two keys make a diagonal step", {4, 2}, {Up, Right}, {5, 1}, 2},
        {"a wall blocks", {4, 5}, {Up}, {4, 5}, 0},
        {"up is read before down", {4, 5}, {Down, Up}, {4, 6}, 1},
        {"opposite keys go out and back", {4, 2}, {Up, Down}, {4, 2}, 2},
        {"nothing lies beyond the grid", {98, 29}, {Down, Right}, {98, 29}, 0},
        {"a projectile blocks", {4, 2}, {Down}, {4, 2}, 0, {4, 3}, Cell::ShotUp},
        {"a walker crossed in mid-step does not catch",
         {4, 2},
         {Up, Right},
         {5, 1},
         2,
         {4, 1},
         'b'},
        {"the right move takes the player off the finish", {2, 21}, {Left, Right}, {2, 21}, 2},
        {"the hidden cell opens with the aqua door", {1, 1}, {Left}, {0, 1}, 1, {}, 0, true},
        {"the hidden cell is closed before", {1, 1}, {Left}, {1, 1}, 0},
    };
    for (const MoveCase& move : cases) {
        GameState game = gameAt(move.start.column, move.start.row);
        if (move.code) game.grid[move.put.row][move.put.column] = move.code;
        game.aquaDoorOpen = move.aquaDoorOpen;
        EXPECT_EQ(moveWith(game, move.keys), TickOutcome::Continue) << move.rule;
        EXPECT_EQ(CellPos(game.playerCol, game.playerRow), move.end) << move.rule;
        EXPECT_EQ(game.steps, move.steps) << move.rule;
    }
}

TEST(Movement, AnEnemyOnTheRestCellCatchesAndTheFinishWins) {
    for (const char enemy : std::string_view("OMmHahbrc")) {
        GameState game = gameAt(4, 2);
        game.grid[2][4] = enemy;
        EXPECT_EQ(moveWith(game, {}), TickOutcome::Caught) << enemy;
    }
    GameState game = gameAt(2, 21);
    EXPECT_EQ(moveWith(game, {Left}), TickOutcome::Won);
    EXPECT_TRUE(game.won);
}

TEST(Movement, EveryMoveOntoADotScoresOnlyTheRestCellsDotIsEaten) {
    GameState game = gameAt(15, 2);
    moveWith(game, {Up, Right});  // over the dot at (15,1) onto the one at (16,1)
    EXPECT_EQ(game.score, 200);
    EXPECT_EQ(std::string(&game.grid[1][15], 2), ". ");
}

TEST(Movement, RestingOnAHiddenPositionSetsItsFlag) {
    GameState game = gameAt(79, 9);
    moveWith(game, {Up, Down});  // through the legend square's cell, not resting there
    EXPECT_FALSE(game.bannerActive);
    moveWith(game, {Up});
    EXPECT_TRUE(game.bannerActive);

    game = gameAt(1, 1);
    game.aquaDoorOpen = true;
    moveWith(game, {Left});
    EXPECT_TRUE(game.secretPassageOpen);
}

// One-way cells: closed before their flag (the finish has none), then open in these directions.
TEST(Movement, OneWayCellsAdmitThePlayerOnceOpenInTheirDirectionsOnly) {
    const std::tuple<char, bool GameState::*, std::string_view> cells[] = {
        {'I', &GameState::purpleDoorOpen, "U"},
        {'I', &GameState::whiteDoorOpen, "R"},
        {'Q', &GameState::aquaDoorOpen, "L"},
        {'w', &GameState::secretPassageOpen, "LR"},
        {'f', nullptr, "L"},
    };
    for (const auto& [code, flag, directions] : cells) {
        GameState open;
        if (flag) open.*flag = true;
        for (int d = 0; d < 4; ++d) {
            const bool admitted = directions.find("UDLR"[d]) != std::string_view::npos;
            const auto direction = static_cast<Direction>(d);
            EXPECT_EQ(admitsPlayer(open, code, direction), admitted) << code << d;
            EXPECT_EQ(admitsPlayer({}, code, direction), admitted && !flag) << code << d;
        }
    }
}

// ---- Switches and overlays.

// Right after its switch, every cell of a door and of its lookalikes shows blank (walkers that
// cross a door later blank its cells too, so a whole scene need not show a cell left standing).
// The gray switch answers to a gray walker only, not to the player.
TEST(Switches, EachSwitchOpensItsOwnDoorOnScreenAndForThePlayerAndNoOther) {
    for (const Door& door : kDoors) {
        const auto [column, row] = door.switchCell;
        GameState game = gameAt(column, row);
        if (door.workedByWalker) {
            workSwitches(game);
            EXPECT_FALSE(game.*door.flag) << door.name << " opened by the player";
            std::tie(game.playerCol, game.playerRow) = std::pair(4, 2);
            game.grid[row][column] = Cell::GrayWalker;
        }
        renderMaze(game.grid);
        EXPECT_FALSE(admitsPlayer(game, door.codes[0], Direction::Down)) << door.name;
        workSwitches(game);
        for (const Door& other : kDoors)
            EXPECT_EQ(game.*other.flag, &other == &door) << door.name << " opened " << other.name;
        EXPECT_TRUE(admitsPlayer(game, door.codes[0], Direction::Down)) << door.name;
        for (const char lookalike : door.lookalikes)
            EXPECT_FALSE(admitsPlayer(game, lookalike, Direction::Down)) << lookalike;
        for (int r = 0; r < kMazeRows; ++r) {
            for (int c = 0; c < kMazeCellsPerRow; ++c) {
                if (door.blanks(kLevel[r][c])) {
                    EXPECT_EQ(cell(c, r).glyph, ' ') << door.name << " at " << c << "," << r;
                }
            }
        }
    }
}

// ---- Enemies.

// Each group of launchers of the level, doors closed, releases from the first tick on every
// `period` ticks, or at ticks t, t+3, t+10, t+13 and so on (the 'N' and 'P' of row 11: period 0).
TEST(Enemies, LaunchersReleaseInTheRhythmsOfTheirLanes) {
    const std::tuple<int, int, int> launchers[] = {
        {28, 4, 3},  {28, 8, 3},  {43, 8, 4},  {51, 17, 3}, {63, 21, 4}, {47, 11, 5},
        {55, 11, 5}, {49, 11, 0}, {57, 11, 0}, {42, 23, 3}, {13, 28, 4}, {42, 15, 3}};
    for (const auto& [column, row, period] : launchers) {
        GameState game = gameAt(4, 2);
        const char launcher = game.grid[row][column];
        const bool left = std::string_view("MFG").find(launcher) != std::string_view::npos;
        const char shot = left ? Cell::ShotLeft : launcher == 'q' ? Cell::GrayShotUp : Cell::ShotUp;
        std::string releases, expected;
        for (int tick = 0; tick < 25; ++tick) {
            moveEnemies(game);
            releases += game.grid[row - !left][column - left] == shot ? 'x' : '.';
            expected +=
                (period ? tick % period == 0 : tick % 10 == 0 || tick % 10 == 3) ? 'x' : '.';
        }
        EXPECT_EQ(releases, expected) << launcher << " at " << column << "," << row;
    }
}

// A projectile, the code ahead of it, and what that cell holds after one enemy phase.
TEST(Enemies, ProjectilesStopAtTheirStoppersAndReplaceAnythingElse) {
    for (const std::string_view t :
         {"O22", "O44", "O55", "O1O", "O.O", "OAO", "H11", "H88", "HNN", "Hnn", "H2H", "H.H", "HqH",
          "h11", "hnn", "h8h", "hNh", "h.h"}) {
        GameState game;
        for (auto& row : game.grid.cells) std::memset(row, Cell::Floor, kMazeCellsPerRow);
        const bool up = t[0] != Cell::ShotLeft;
        game.grid[10][10] = t[0];
        game.grid[10 - up][10 - !up] = t[1];
        moveEnemies(game);
        EXPECT_EQ(game.grid[10][10], Cell::Floor) << t;
        EXPECT_EQ(game.grid[10 - up][10 - !up], t[2]) << t;
    }
}

TEST(Enemies, AWalkerMovingRightRunsToTheEndOfItsRowTurnsAndStepsBack) {
    GameState game = gameAt(4, 2);
    game.grid[5][9] = Cell::Floor;
    game.grid[5][1] = 'a';
    moveEnemies(game);
    EXPECT_EQ(game.grid[5][18], 'a');
    EXPECT_EQ(cell(18, 5), ScreenCell(0xB2, Colour::Green));
    EXPECT_EQ(cell(19, 5).glyph, ' ');
}

// Shut in until the purple door opens; then three cells to the door, three more to the gray
// switch, seen by the next tick's switch phase.
TEST(Enemies, TheGrayWalkerLeavesItsBoxThroughTheOpenPurpleDoorToOpenTheGrayOne) {
    GameState game = gameAt(4, 2);
    for (int tick = 0; tick < 40; ++tick) moveEnemies(game);
    EXPECT_FALSE(std::memchr(&game.grid[17][1], Cell::GrayWalker, 27));
    game = gameAt(4, 2);
    game.purpleDoorOpen = true;
    while (!game.grayDoorOpen && game.elapsedTicks < 12) playTick(game);
    EXPECT_EQ(game.elapsedTicks, 7);
}

// ---- Replayed routes: each ends as the route finder said when it wrote it.

class Route : public ::testing::TestWithParam<const char*> {};

TEST_P(Route, EndsAtTheTickAndWithTheScoresItsHeaderStates) {
    const std::string path = std::string(GLYPH_ROUTES_DIR) + "/" + GetParam();
    std::ifstream file(path);
    std::string header, line;
    while (std::getline(file, line) && line.starts_with("#")) header += line + "\n";
    std::smatch said;
    ASSERT_TRUE(std::regex_search(header, said,
                                  std::regex(R"((\w+) at tick (\d+): (\d+) steps, score (-?\d+), )"
                                             R"(total score (-?\d+))")))
        << header;

    GameState game = gameAt(4, 2);
    beginGame(game);
    const auto keys = readKeyScript(path);
    ASSERT_TRUE(keys);
    const ScriptReplay replay = replayKeyScript(*keys, game);
    const std::map<std::string, TickOutcome> outcomes = {{"Won", TickOutcome::Won},
                                                         {"Caught", TickOutcome::Caught},
                                                         {"Toured", TickOutcome::Continue}};
    EXPECT_EQ(replay.outcome, outcomes.at(said[1]));
    EXPECT_EQ(replay.ticks, std::stoi(said[2]));
    EXPECT_EQ(game.steps, std::stoi(said[3]));
    EXPECT_EQ(game.score, std::stoi(said[4]));
    EXPECT_EQ(computeTotalScore(game), std::stoi(said[5]));
}

INSTANTIATE_TEST_SUITE_P(Routes, Route, ::testing::Values("win.txt", "caught.txt", "tour.txt"),
                         [](const auto& info) {
                             return std::string(info.param).substr(0, std::strlen(info.param) - 4);
                         });

// ---- End screens and the banner.

TEST(EndScreen, TheTotalCountsTheClockTenATickLessTheStepsAndMayBeNegative) {
    EXPECT_EQ(computeTotalScore({.score = 100, .timeLeft = 50, .steps = 30}), 570);
    EXPECT_EQ(computeTotalScore({.score = 200, .timeLeft = -1, .steps = 400}), -210);
}

TEST(EndScreen, EveryPassStopsTheSound) {
    testservices::reset();
    const GameState game{.won = true};
    for (int pass = 0; pass < 2; ++pass) drawEndScreenPass(game, 0);
    EXPECT_EQ(testservices::calls(), (std::vector<std::string>{"stop", "stop"}));
}

// 39 lines from row 8 scroll the screen: the last one ends on row 28, the cursor below it.
TEST(Banner, TypedFromTheCursorItScrollsThePlayScreenUp) {
    testconsole::reset();
    gotoXY(80, 8);
    typeBanner();
    EXPECT_EQ(testconsole::clockMs(), kBannerLines * (kBannerWidth + 1) * 10);
    EXPECT_EQ(screen().rowText(28).substr(0, kBannerWidth), std::string(kBanner[38], kBannerWidth));
    EXPECT_EQ(CellPos(screen().cursorColumn(), screen().cursorRow()), CellPos(0, 29));
}

}  // namespace
