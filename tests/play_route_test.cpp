#include <cstring>
#include <sstream>
#include <string>

#include "maze/maze_grid.h"
#include "tests/support/play_fixture.h"
#include "tools/route_finder_script.h"

namespace {

class RouteTest : public PlayTest {
  protected:
    // Plays a script from the start of a game, as the route finder played it.
    ScriptReplay replay(const char* name) {
        const auto script = readKeyScript(std::string(GLYPH_ROUTES_DIR) + "/" + name);
        EXPECT_TRUE(script.has_value()) << name;
        if (!script) return {};
        std::memcpy(initial, mazeGrid, sizeof initial);
        beginGame();
        ScriptReplay played = replayKeyScript(*script, game);
        EXPECT_EQ(played.ticks, static_cast<int>(script->size())) << "the game ended early";
        return played;
    }

    // Whether the player passed a cell that held one of the codes when the game began: a rest
    // cell, or the cell that a diagonal step crosses (the vertical move comes first).
    bool passedThrough(const ScriptReplay& played, const char* codes) const {
        int column = 4;
        for (const auto& [restColumn, restRow] : played.restCells) {
            for (const auto& [c, r] : {std::pair{column, restRow}, std::pair{restColumn, restRow}})
                if (std::strchr(codes, initial[r][c]) != nullptr) return true;
            column = restColumn;
        }
        return false;
    }

    char initial[kMazeRows][kMazeColumns];
};

TEST_F(RouteTest, WinningScriptReachesTheFinishThroughTheDoorsThatLeadThere) {
    const ScriptReplay played = replay("win.txt");
    EXPECT_EQ(played.outcome, TickOutcome::Won);
    EXPECT_TRUE(game.won);
    EXPECT_TRUE(game.greenDoorOpen);
    EXPECT_TRUE(game.yellowDoorOpen);
    EXPECT_TRUE(game.purpleDoorOpen);
    EXPECT_TRUE(game.grayDoorOpen);  // only a gray walker can open it
    EXPECT_TRUE(game.whiteDoorOpen);
    for (const char* door : {"A", "CD", "U", "T", "W"})
        EXPECT_TRUE(passedThrough(played, door)) << door;
}

TEST_F(RouteTest, CaughtScriptEndsCaughtAtItsKnownTick) {
    const ScriptReplay played = replay("caught.txt");
    EXPECT_EQ(played.outcome, TickOutcome::Caught);
    EXPECT_EQ(game.elapsedTicks, 10);
    EXPECT_FALSE(game.won);
}

TEST(KeyScript, ReadsKeysAndCommentsAndRejectsUnknownWords) {
    std::istringstream good("# header\nup left\n-\nright  # note\n\n");
    const auto script = parseKeyScript(good);
    ASSERT_TRUE(script.has_value());
    EXPECT_EQ(*script, (std::vector<HeldKeys>{kHoldUp | kHoldLeft, 0, kHoldRight}));
    EXPECT_EQ(formatHeldKeys(kHoldDown | kHoldRight), "down right");

    std::istringstream bad("up\njump\n");
    EXPECT_FALSE(parseKeyScript(bad).has_value());
}

}  // namespace
