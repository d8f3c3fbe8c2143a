// The play loop and its phases on the initial level, the end screens and the banner, headless.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "maze/maze_grid.h"
#include "maze/maze_renderer.h"
#include "play/banner.h"
#include "play/end_screens.h"
#include "play/enemies.h"
#include "play/movement.h"
#include "play/overlays.h"
#include "play/switches.h"
#include "tests/support/test_console.h"
#include "tools/route_finder_script.h"

namespace {

class Play : public ::testing::Test {
  protected:
    void SetUp() override {
        resetMazeGrid();
        testconsole::reset();
        testservices::reset();
    }

    void placePlayer(int column, int row) {
        game.playerCol = column;
        game.playerRow = row;
    }
    TickOutcome tick() { return playTick(game); }  // no key held
    TickOutcome move(std::initializer_list<Key> keys) {
        testconsole::holdOnly(keys);
        return movePlayer(game);
    }
    void expectAt(int c, int r, int steps) {
        EXPECT_EQ(std::vector({game.playerCol, game.playerRow, game.steps}),
                  std::vector({c, r, steps}));
    }

    static char gridAt(int column, int row) { return mazeGrid[row][column]; }
    static void expectShown(int column, int row, unsigned char glyph, Colour colour) {
        EXPECT_EQ(testconsole::cell(column, row).glyph, glyph) << column << "," << row;
        EXPECT_EQ(testconsole::cell(column, row).attr, colour) << column << "," << row;
    }
    static std::string shownText(int column, int row, int length) {
        return testconsole::screen().rowText(row).substr(column, length);
    }

    GameState game;
};

TEST_F(Play, FirstTickDrawsItAllAndAnEndingTickStopsRightAfterTheMoves) {
    beginGame();
    ASSERT_EQ(tick(), TickOutcome::Continue);
    EXPECT_EQ(game.timeLeft, 2999);
    EXPECT_EQ(game.elapsedTicks, 1);
    expectShown(4, 2, 0xFE, Colour::Aqua);
    const char* status[] = {"Glyph Labyrinth", "Player == \xFE", "Score: 0", "Time: 2999",
                            "Steps: 0"};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(shownText(69, 2 + 6 * i, std::strlen(status[i])), status[i]);
    // A gate drawn as wall, the circles.
    expectShown(18, 11, 0xCD, Colour::Blue);
    expectShown(2, 6, 'o', Colour::Green);
    expectShown(25, 17, 'o', Colour::Gray);
    EXPECT_EQ(testconsole::cell(91, 27).glyph, ' ');  // no emblem yet
    EXPECT_EQ(testservices::calls(), std::vector<std::string>{"play res/Glyph.wav"});

    mazeGrid[2][4] = 'r';
    EXPECT_EQ(tick(), TickOutcome::Caught);
    EXPECT_EQ(shownText(69, 20, 10), "Time: 2999");  // the status lines of the tick before
    EXPECT_EQ(testconsole::clockMs(), 100);          // and no pause
}

TEST_F(Play, ClockStopsAtMinusOneTickCountAt5001AndShorterNumbersLeaveDigits) {
    game.timeLeft = 1001;
    game.elapsedTicks = 4999;
    for (int i = 0; i < 3; ++i) tick();
    EXPECT_EQ(shownText(69, 20, 10), "Time: 9980");  // over the 1000 of the first tick
    EXPECT_EQ(game.elapsedTicks, 5001);
    game.timeLeft = 0;
    for (int i = 0; i < 3; ++i) tick();
    EXPECT_EQ(game.timeLeft, -1);
    EXPECT_EQ(shownText(69, 20, 10), "Time: -180");
}

TEST_F(Play, MovesAreReadUpDownLeftRightOnlyTheRestCellCatchesAndEatsItsDot) {
    mazeGrid[1][4] = 'b';  // crossed in the middle of the diagonal step
    EXPECT_EQ(move({Key::Up, Key::Right}), TickOutcome::Continue);
    move({Key::Up});             // against the top wall
    move({Key::Down, Key::Up});  // up is read first and blocked
    expectAt(5, 2, 3);
    mazeGrid[3][5] = Cell::ShotUp;  // projectiles block
    move({Key::Down});
    for (const char enemy : std::string_view("OMmHahbrc")) {
        mazeGrid[2][5] = enemy;
        EXPECT_EQ(move({}), TickOutcome::Caught) << enemy;
    }
    placePlayer(2, 21);  // the right move takes the player off the finish again
    EXPECT_EQ(move({Key::Left, Key::Right}), TickOutcome::Continue);
    placePlayer(98, 29);  // nothing beyond the grid's last row and column
    move({Key::Down, Key::Right});
    expectAt(98, 29, 5);
    placePlayer(15, 2);
    move({Key::Up, Key::Right});  // over the dot at (15,1), scored but left, onto (16,1), eaten
    EXPECT_EQ(game.score, 200);
    EXPECT_EQ(std::string(&mazeGrid[1][15], 2), ". ");
    move({Key::Left});
    EXPECT_EQ(game.score, 300);
    EXPECT_EQ(gridAt(15, 1), Cell::Floor);
}

// One-way cells: closed before their flag (the finish has none), then open in these directions.
TEST_F(Play, OneWayCellsAdmitThePlayerOnceOpenInTheirDirectionsOnly) {
    const struct {
        char code;
        bool GameState::*flag;
        std::string_view directions;
    } cells[] = {{'I', &GameState::purpleDoorOpen, "U"},
                 {'I', &GameState::whiteDoorOpen, "R"},
                 {'Q', &GameState::aquaDoorOpen, "L"},
                 {'w', &GameState::secretPassageOpen, "LR"},
                 {'f', {}, "L"}};
    for (const auto& c : cells) {
        GameState open;
        if (c.flag) open.*c.flag = true;
        for (int d = 0; d < 4; ++d) {
            const bool admitted = c.directions.find("UDLR"[d]) != std::string_view::npos;
            const auto direction = static_cast<Direction>(d);
            EXPECT_EQ(admitsPlayer(open, c.code, direction), admitted) << c.code << d;
            EXPECT_EQ(admitsPlayer({}, c.code, direction), admitted && !c.flag) << c.code << d;
        }
    }
}

TEST_F(Play, HiddenPositionsCountWhereTheMovesEndAndShowTheEmblem) {
    placePlayer(79, 9);
    move({Key::Up, Key::Down});
    EXPECT_FALSE(game.bannerActive);
    move({Key::Up});
    EXPECT_TRUE(game.bannerActive);
    game.aquaDoorOpen = true;
    placePlayer(1, 1);
    move({Key::Left});
    move({Key::Left});  // the hidden cell lies at the grid's left edge
    expectAt(0, 1, 4);
    placePlayer(88, 14);  // the emblem shows from then on, the player on top of it
    drawOverlays(game);
    expectShown(87, 13, 0xDB, Colour::LightBlue);
    expectShown(88, 15, 0xDB, Colour::Yellow);
    expectShown(88, 14, 0xFE, Colour::Aqua);
}

// Each switch sets its door's flag only, which lets the player through the door's cells, and
// blanks them on screen, with the red launchers, while the grid keeps their codes.
TEST_F(Play, EachSwitchOpensItsDoorOnScreenAndForThePlayer) {
    const struct {
        int column, row;
        bool GameState::*flag;
        std::string_view codes;
    } switches[] = {
        {2, 6, &GameState::greenDoorOpen, "A"},     {31, 13, &GameState::redDoorOpen, "BpP"},
        {40, 13, &GameState::yellowDoorOpen, "CD"}, {4, 17, &GameState::purpleDoorOpen, "U"},
        {17, 21, &GameState::whiteDoorOpen, "W"},   {36, 13, &GameState::aquaDoorOpen, "E"}};
    for (const auto& s : switches) {
        game = GameState{};
        renderMaze();
        placePlayer(s.column, s.row);
        workSwitches(game);
        placePlayer(4, 2);  // leaving the switch closes nothing
        workSwitches(game);
        for (const Door& door : kDoors) EXPECT_EQ(game.*door.flag, door.flag == s.flag) << s.codes;
        for (const char code : s.codes)
            EXPECT_EQ(admitsPlayer(game, code, Direction::Down), code != 'p' && code != 'P')
                << code;
        for (int row = 0; row < kMazeRows; ++row)
            for (int column = 0; column < kMazeCellsPerRow; ++column)
                EXPECT_TRUE(s.codes.find(gridAt(column, row)) == std::string_view::npos ||
                            testconsole::cell(column, row).glyph == ' ')
                    << column << "," << row;
    }
    expectShown(0, 1, 0xBA, Colour::Yellow);  // the aqua switch shows the hidden cell
    placePlayer(25, 17);                      // the gray switch answers only to a gray walker
    workSwitches(game);
    EXPECT_FALSE(game.grayDoorOpen);
}

// Each group of launchers of the level, doors closed, releases from the first tick on every
// `period` ticks, or at ticks t, t+3, t+10, t+13 and so on (the 'N' and 'P' of row 11: period 0).
TEST_F(Play, LaunchersReleaseInTheRhythmsOfTheirLanes) {
    const struct {
        int column, row, period;
    } launchers[] = {{28, 4, 3},  {28, 8, 3},  {43, 8, 4},  {51, 17, 3}, {63, 21, 4}, {47, 11, 5},
                     {55, 11, 5}, {49, 11, 0}, {57, 11, 0}, {42, 23, 3}, {13, 28, 4}, {42, 15, 3}};
    for (const auto& l : launchers) {
        resetMazeGrid();
        const char launcher = gridAt(l.column, l.row);
        const bool left = std::string_view("MFG").find(launcher) != std::string_view::npos;
        const char shot = left ? Cell::ShotLeft : launcher == 'q' ? Cell::GrayShotUp : Cell::ShotUp;
        std::string releases, expected;
        for (int tick = 0; tick < 25; ++tick) {
            moveEnemies(game);
            releases += gridAt(l.column - left, l.row - !left) == shot ? 'x' : '.';
            const bool due = l.period ? tick % l.period == 0 : tick % 10 == 0 || tick % 10 == 3;
            expected += due ? 'x' : '.';
        }
        EXPECT_EQ(releases, expected) << launcher << " at " << l.column << "," << l.row;
    }
}

TEST_F(Play, ProjectilesStopAtTheirStoppersAndReplaceAnythingElse) {
    for (auto& row : mazeGrid) std::memset(row, Cell::Floor, kMazeCellsPerRow);
    // A projectile, the code ahead of it, and what that cell holds after one enemy phase.
    for (const std::string_view t :
         {"O22", "O44", "O55", "O1O", "O.O", "OAO", "H11", "H88", "HNN", "Hnn", "H2H", "H.H", "HqH",
          "h11", "hnn", "h8h", "hNh", "h.h"}) {
        const bool up = t[0] != Cell::ShotLeft;
        mazeGrid[10][10] = t[0];
        mazeGrid[10 - up][10 - !up] = t[1];
        moveEnemies(game);
        EXPECT_EQ(gridAt(10, 10), Cell::Floor) << t;
        EXPECT_EQ(gridAt(10 - !up, 10 - up), t[2]) << t;
    }
}

TEST_F(Play, WalkersStepLeftAndTurnAtTheLeftEndWithinOneTick) {
    mazeGrid[5][9] = Cell::Floor;
    mazeGrid[5][1] = 'a';
    moveEnemies(game);
    EXPECT_EQ(gridAt(18, 5), 'a');  // ran right to column 19 and stepped back
    expectShown(18, 5, 0xB2, Colour::Green);
    EXPECT_EQ(testconsole::cell(19, 5).glyph, ' ');
    EXPECT_TRUE(game.walkersMoveLeft);
}

TEST_F(Play, GrayWalkersCrossTheOpenPurpleDoorAndOpenTheGrayOne) {
    for (int i = 0; i < 40; ++i) moveEnemies(game);  // the walker in row 17 stays shut in
    EXPECT_FALSE(std::memchr(&mazeGrid[17][1], Cell::GrayWalker, 27));
    resetMazeGrid();
    game = GameState{.purpleDoorOpen = true};
    int opened = 0;
    for (int i = 1; i <= 12 && opened == 0; ++i)
        if (tick(); game.grayDoorOpen) opened = i;
    // Three cells to the door, three more to the switch, seen by the next tick's switch phase.
    EXPECT_EQ(opened, 7);
    EXPECT_EQ(gridAt(28, 17), Cell::Floor);
    EXPECT_EQ(gridAt(34, 17), Cell::GrayDoor);
}

// The attribute the bottom strip leaves is the one the banner is typed in at the next tick's head.
TEST_F(Play, BottomLaunchersLeaveTheirAttributeInForceForTheBanner) {
    game.bannerActive = true;
    for (int i = 1; i <= 12; ++i) {
        tick();
        EXPECT_EQ(testconsole::screen().attr(), i % 4 == 1 ? Colour::Blue : Colour::Aqua) << i;
    }
    EXPECT_EQ(testconsole::clockMs(), 12 * (39 * 72 * 10 + 100));
}

// Whole games: the route finder's scripts.
TEST_F(Play, RouteScriptsWinThroughEveryDoorOnTheWayOrGetCaughtOnTime) {
    for (const auto& [name, outcome] :
         {std::pair{"win.txt", TickOutcome::Won}, {"caught.txt", TickOutcome::Caught}}) {
        const auto keys = readKeyScript(std::string(GLYPH_ROUTES_DIR) + "/" + name);
        ASSERT_TRUE(keys) << name;
        game = GameState{};
        beginGame();
        EXPECT_EQ(replayKeyScript(*keys, game).outcome, outcome) << name;
        EXPECT_TRUE(outcome == TickOutcome::Caught ||  // the gray door: only a walker opens it
                    (game.greenDoorOpen && game.yellowDoorOpen && game.purpleDoorOpen &&
                     game.grayDoorOpen && game.whiteDoorOpen));
        resetMazeGrid();
    }
    EXPECT_EQ(game.elapsedTicks, 10);  // caught at its known tick
}

// The end screens and the banner.

TEST(EndScreen, WinShowsTheStatisticsWithTheTotalsSignAndLossNoNumbers) {
    const auto show = [](int score, int steps, int timeLeft, int ticks, bool won) {
        testconsole::reset();
        testservices::reset();
        const GameState game{.score = score,
                             .timeLeft = timeLeft,
                             .elapsedTicks = ticks,
                             .steps = steps,
                             .won = won};
        for (int pass = 0; pass < 2; ++pass) drawEndScreenPass(game, computeTotalScore(game));
    };
    const auto text = [](int row) { return testconsole::screen().rowText(row).substr(69, 20); };
    show(100, 30, 50, 2950, true);
    EXPECT_EQ(text(14), "Time wasted: 2950   ");
    EXPECT_EQ(text(20), "Steps taken: 30     ");
    EXPECT_EQ(text(26), "Total score 570     ");
    EXPECT_EQ(testservices::calls(), (std::vector<std::string>{"stop", "stop"}));
    show(200, 400, -1, 5001, true);
    EXPECT_EQ(text(14), "Time wasted: 5001   ");
    EXPECT_EQ(text(26), "Total score -210    ");
    show(4200, 77, 2700, 300, false);
    EXPECT_EQ(testconsole::cell(29, 12).attr, Colour::LightBlue);  // the loss picture
    for (int row = 0; row < kConsoleRows; ++row)
        EXPECT_EQ(testconsole::screen().rowText(row).find_first_of("0123456789"),
                  std::string::npos);
}

TEST(Banner, LinesOfSeventyOneCharactersAndABreakTypedOnFromTheCursor) {
    for (const char* line : kBanner) EXPECT_EQ(std::string(line).find('\n'), 71u) << line;
    for (const char* line : kBanner) EXPECT_EQ(std::string(line).size(), 72u) << line;
    testconsole::reset();
    setColor(Colour::Aqua);
    gotoXY(80, 8);
    typeBanner();
    EXPECT_EQ(testconsole::clockMs(), 39 * 72 * 10);
    // 39 lines from row 8 scroll the screen: the last one ends on row 28, the cursor below it.
    EXPECT_EQ(testconsole::screen().rowText(28).substr(0, 71), std::string(kBanner[38], 71));
    EXPECT_EQ(testconsole::screen().cursorRow() * 100 + testconsole::screen().cursorColumn(), 2900);
    EXPECT_EQ(testconsole::cell(20, 26).attr, Colour::Aqua);
    for (int row = 0; row < kConsoleRows; ++row)
        EXPECT_EQ(testconsole::screen().rowText(row).find('\xDB'), std::string::npos) << row;
}

}  // namespace
