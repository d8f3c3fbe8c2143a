// The play loop and its phases on the initial level, the end screens and the banner, headless.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "console/headless/test_console.h"
#include "maze/maze_grid.h"
#include "maze/maze_renderer.h"
#include "play/banner.h"
#include "play/end_screens.h"
#include "play/enemies.h"
#include "play/movement.h"
#include "play/overlays.h"
#include "play/switches.h"
#include "tools/route_finder_script.h"

namespace {

using testconsole::cell;
using testconsole::screen;

class Play : public ::testing::Test {
protected:
    void SetUp() override {
        game.grid = kLevel;
        testconsole::reset();
        testservices::reset();
    }

    void placePlayer(int c, int r) { std::tie(game.playerCol, game.playerRow) = std::pair(c, r); }
    TickOutcome tick() { return playTick(game); }  // no key held
    TickOutcome move(std::initializer_list<Key> keys) {
        testconsole::holdOnly(keys);
        return movePlayer(game);
    }
    std::vector<int> where() const { return {game.playerCol, game.playerRow, game.steps}; }
    static std::string shownTime() { return screen().rowText(20).substr(69, 10); }

    GameState game;
};

// The first tick draws the whole picture; a tick that ends the game stops right after the moves;
// the clock counts down to -1 and stops there, the tick count at 5001.
TEST_F(Play, FirstTickDrawsItAllAnEndingTickStopsAfterTheMovesTheClockAtMinusOne) {
    beginGame(game);
    ASSERT_EQ(tick(), TickOutcome::Continue);
    EXPECT_EQ(std::pair(game.timeLeft, game.elapsedTicks), std::pair(2999, 1));
    EXPECT_EQ(cell(4, 2), ScreenCell(0xFE, Colour::Aqua));
    for (int i = 0; const std::string text :
                    {"Glyph Labyrinth", "Player == \xFE", "Score: 0", "Time: 2999", "Steps: 0"})
        EXPECT_EQ(screen().rowText(2 + 6 * i++).substr(69, text.size()), text);
    EXPECT_EQ(cell(18, 11), ScreenCell(0xCD, Colour::Blue));  // a closed gate, drawn as wall
    EXPECT_EQ(cell(2, 6), ScreenCell('o', Colour::Green));    // a switch circle
    EXPECT_EQ(cell(91, 27).glyph, ' ');                       // no emblem yet
    EXPECT_EQ(testservices::calls(), std::vector<std::string>{"play res/Glyph.wav"});

    game.grid[2][4] = 'r';
    EXPECT_EQ(tick(), TickOutcome::Caught);
    EXPECT_EQ(shownTime(), "Time: 2999");    // the status lines of the tick before
    EXPECT_EQ(testconsole::clockMs(), 100);  // and no pause

    game.grid[2][4] = Cell::Floor;
    std::tie(game.timeLeft, game.elapsedTicks) = std::pair(1001, 4999);
    for (int i = 0; i < 3; ++i) tick();
    EXPECT_EQ(shownTime(), "Time: 9980");  // shorter numbers leave digits
    game.timeLeft = 0;
    for (int i = 0; i < 3; ++i) tick();
    EXPECT_EQ(std::pair(game.timeLeft, game.elapsedTicks), std::pair(-1, 5001));
    EXPECT_EQ(shownTime(), "Time: -180");
}

TEST_F(Play, MovesAreReadInOrderTheRestCellCatchesEatsItsDotOrIsAHiddenPosition) {
    game.grid[1][4] = 'b';  // crossed in the middle of the diagonal step
    EXPECT_EQ(move({Key::Up, Key::Right}), TickOutcome::Continue);
    move({Key::Down, Key::Up});  // up is read first and blocked by the wall
    EXPECT_EQ(where(), std::vector({5, 2, 3}));
    game.grid[3][5] = Cell::ShotUp;  // projectiles block
    move({Key::Down});
    for (const char enemy : std::string_view("OMmHahbrc")) {
        game.grid[2][5] = enemy;
        EXPECT_EQ(move({}), TickOutcome::Caught) << enemy;
    }
    placePlayer(2, 21);  // the right move takes the player off the finish again
    EXPECT_EQ(move({Key::Left, Key::Right}), TickOutcome::Continue);
    placePlayer(98, 29);  // nothing beyond the grid's last row and column
    move({Key::Down, Key::Right});
    EXPECT_EQ(where(), std::vector({98, 29, 5}));
    placePlayer(15, 2);
    move({Key::Up, Key::Right});  // over the dot at (15,1), scored but left, onto (16,1), eaten
    EXPECT_EQ(game.score, 200);
    EXPECT_EQ(std::string(&game.grid[1][15], 2), ". ");
    placePlayer(79, 9);
    move({Key::Up, Key::Down});
    EXPECT_FALSE(game.bannerActive);
    move({Key::Up});
    EXPECT_TRUE(game.bannerActive);
    game.aquaDoorOpen = true;
    placePlayer(1, 1);
    for (int i = 0; i < 2; ++i) move({Key::Left});  // the hidden cell lies at the grid's left edge
    EXPECT_EQ(where(), std::vector({0, 1, 11}));
    placePlayer(88, 14);  // the emblem shows from then on, the player on top of it
    drawOverlays(game);
    EXPECT_EQ(cell(87, 13), ScreenCell(0xDB, Colour::LightBlue));
    EXPECT_EQ(cell(88, 14), ScreenCell(0xFE, Colour::Aqua));
}

// One-way cells: closed before their flag (the finish has none), then open in these directions.
TEST_F(Play, OneWayCellsAdmitThePlayerOnceOpenInTheirDirectionsOnly) {
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

// Each switch sets its door's flag only, which lets the player through the door's cells, and
// blanks them on screen, with the red launchers, while the grid keeps their codes.
TEST_F(Play, EachSwitchOpensItsDoorOnScreenAndForThePlayer) {
    const std::tuple<int, int, bool GameState::*, std::string_view> switches[] = {
        {2, 6, &GameState::greenDoorOpen, "A"},     {31, 13, &GameState::redDoorOpen, "BpP"},
        {40, 13, &GameState::yellowDoorOpen, "CD"}, {4, 17, &GameState::purpleDoorOpen, "U"},
        {17, 21, &GameState::whiteDoorOpen, "W"},   {36, 13, &GameState::aquaDoorOpen, "E"}};
    for (const auto& [column, row, flag, codes] : switches) {
        game = GameState{.playerCol = column, .playerRow = row};
        renderMaze(game.grid);
        workSwitches(game);
        for (const Door& door : kDoors) EXPECT_EQ(game.*door.flag, door.flag == flag) << codes;
        EXPECT_TRUE(admitsPlayer(game, codes[0], Direction::Down)) << codes;
        for (int r = 0; r < kMazeRows; ++r)
            for (int c = 0; c < kMazeCellsPerRow; ++c)
                EXPECT_TRUE(codes.find(game.grid[r][c]) == codes.npos || cell(c, r).glyph == ' ')
                    << c << "," << r;
    }
    EXPECT_EQ(cell(0, 1), ScreenCell(0xBA, Colour::Yellow));  // the hidden cell, by the aqua switch
    placePlayer(25, 17);  // the gray switch answers only to a gray walker
    workSwitches(game);
    EXPECT_FALSE(game.grayDoorOpen);
}

// Each group of launchers of the level, doors closed, releases from the first tick on every
// `period` ticks, or at ticks t, t+3, t+10, t+13 and so on (the 'N' and 'P' of row 11: period 0).
TEST_F(Play, LaunchersReleaseInTheRhythmsOfTheirLanesProjectilesStopAtTheirStoppers) {
    const std::tuple<int, int, int> launchers[] = {
        {28, 4, 3},  {28, 8, 3},  {43, 8, 4},  {51, 17, 3}, {63, 21, 4}, {47, 11, 5},
        {55, 11, 5}, {49, 11, 0}, {57, 11, 0}, {42, 23, 3}, {13, 28, 4}, {42, 15, 3}};
    for (const auto& [column, row, period] : launchers) {
        game.grid = kLevel;
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
    for (auto& row : game.grid.cells) std::memset(row, Cell::Floor, kMazeCellsPerRow);
    // A projectile, the code ahead of it, and what that cell holds after one enemy phase.
    for (const std::string_view t :
         {"O22", "O44", "O55", "O1O", "O.O", "OAO", "H11", "H88", "HNN", "Hnn", "H2H", "H.H", "HqH",
          "h11", "hnn", "h8h", "hNh", "h.h"}) {
        const bool up = t[0] != Cell::ShotLeft;
        game.grid[10][10] = t[0];
        game.grid[10 - up][10 - !up] = t[1];
        moveEnemies(game);
        EXPECT_EQ(game.grid[10][10], Cell::Floor) << t;
        EXPECT_EQ(game.grid[10 - up][10 - !up], t[2]) << t;
    }
}

TEST_F(Play, WalkersTurnAtTheirEndsAndGrayOnesCrossTheOpenPurpleDoorToTheGraySwitch) {
    game.grid[5][9] = Cell::Floor;
    game.grid[5][1] = 'a';
    moveEnemies(game);
    EXPECT_EQ(game.grid[5][18], 'a');  // ran right to column 19 and stepped back
    EXPECT_EQ(cell(18, 5), ScreenCell(0xB2, Colour::Green));
    EXPECT_EQ(cell(19, 5).glyph, ' ');
    for (int i = 0; i < 40; ++i) moveEnemies(game);  // the gray walker in row 17 stays shut in
    EXPECT_FALSE(std::memchr(&game.grid[17][1], Cell::GrayWalker, 27));
    game.grid = kLevel;
    game = GameState{.purpleDoorOpen = true};
    while (!game.grayDoorOpen && game.elapsedTicks < 12) tick();
    // Three cells to the door, three more to the switch, seen by the next tick's switch phase.
    EXPECT_EQ(game.elapsedTicks, 7);
}

// The attribute the bottom strip leaves is the one the banner is typed in at the next tick's head.
TEST_F(Play, BottomLaunchersLeaveTheirAttributeInForceForTheBanner) {
    game.bannerActive = true;
    for (int i = 1; i <= 12; ++i) {
        tick();
        EXPECT_EQ(screen().attr(), i % 4 == 1 ? Colour::Blue : Colour::Aqua) << i;
    }
    EXPECT_EQ(testconsole::clockMs(), 12 * (39 * 72 * 10 + 100));
}

TEST_F(Play, RouteScriptsWinThroughEveryDoorOnTheWayOrGetCaughtOnTime) {
    const auto replay = [&](const char* name) {
        game.grid = kLevel;
        game = GameState{};
        beginGame(game);
        const auto keys = readKeyScript(std::string(GLYPH_ROUTES_DIR) + "/" + name);
        return keys ? replayKeyScript(*keys, game).outcome : TickOutcome::Continue;
    };
    ASSERT_EQ(replay("win.txt"), TickOutcome::Won);
    EXPECT_TRUE(game.greenDoorOpen && game.yellowDoorOpen && game.purpleDoorOpen &&
                game.grayDoorOpen && game.whiteDoorOpen);  // the gray one opened by a walker
    ASSERT_EQ(replay("caught.txt"), TickOutcome::Caught);
    EXPECT_EQ(game.elapsedTicks, 10);
}

TEST(EndScreen, WinShowsTheStatisticsWithTheTotalsSignAndLossNoNumbers) {
    const auto show = [](const GameState& game) {
        testconsole::reset();
        testservices::reset();
        for (int pass = 0; pass < 2; ++pass) drawEndScreenPass(game, computeTotalScore(game));
    };
    const auto text = [](int row) { return screen().rowText(row).substr(69, 20); };
    show({.score = 100, .timeLeft = 50, .elapsedTicks = 2950, .steps = 30, .won = true});
    EXPECT_EQ(text(14), "Time wasted: 2950   ");
    EXPECT_EQ(text(20), "Steps taken: 30     ");
    EXPECT_EQ(text(26), "Total score 570     ");
    EXPECT_EQ(testservices::calls(), (std::vector<std::string>{"stop", "stop"}));
    show({.score = 200, .timeLeft = -1, .elapsedTicks = 5001, .steps = 400, .won = true});
    EXPECT_EQ(text(14), "Time wasted: 5001   ");
    EXPECT_EQ(text(26), "Total score -210    ");
    show({.score = 4200, .timeLeft = 2700, .elapsedTicks = 300, .steps = 77, .won = false});
    EXPECT_EQ(cell(29, 12).attr, Colour::LightBlue);  // the loss picture
    for (int row = 0; row < kConsoleRows; ++row)
        EXPECT_EQ(screen().rowText(row).find_first_of("0123456789"), std::string::npos);
}

// Each banner line has its break after 71 characters; typed at 10 ms a byte, they are 72 bytes.
TEST(Banner, LinesOfSeventyOneCharactersAndABreakTypedOnFromTheCursor) {
    for (const char* line : kBanner) EXPECT_EQ(std::string(line).find('\n'), 71u) << line;
    testconsole::reset();
    gotoXY(80, 8);
    typeBanner();
    EXPECT_EQ(testconsole::clockMs(), 39 * 72 * 10);
    // 39 lines from row 8 scroll the screen: the last one ends on row 28, the cursor below it.
    EXPECT_EQ(screen().rowText(28).substr(0, 71), std::string(kBanner[38], 71));
    EXPECT_EQ(screen().cursorRow() * 100 + screen().cursorColumn(), 2900);
}

}  // namespace
