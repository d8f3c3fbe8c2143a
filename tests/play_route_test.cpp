#include <string>

#include "tests/support/play_fixture.h"
#include "tools/route_finder_script.h"

namespace {

class RouteTest : public PlayTest {
  protected:
    // Plays a script from the start of a game; it must run to its last line.
    ScriptReplay replay(const char* name) {
        const auto script = readKeyScript(std::string(GLYPH_ROUTES_DIR) + "/" + name);
        EXPECT_TRUE(script.has_value()) << name;
        if (!script) return {};
        beginGame();
        ScriptReplay played = replayKeyScript(*script, game);
        EXPECT_EQ(played.ticks, static_cast<int>(script->size())) << "the game ended early";
        return played;
    }
};

TEST_F(RouteTest, WinningScriptReachesTheFinishThroughTheDoorsThatLeadThere) {
    const ScriptReplay played = replay("win.txt");
    EXPECT_EQ(played.outcome, TickOutcome::Won);
    EXPECT_TRUE(game.greenDoorOpen && game.yellowDoorOpen && game.purpleDoorOpen);
    EXPECT_TRUE(game.grayDoorOpen);  // only a gray walker can open it
    EXPECT_TRUE(game.whiteDoorOpen);
}

TEST_F(RouteTest, CaughtScriptEndsCaughtAtItsKnownTick) {
    EXPECT_EQ(replay("caught.txt").outcome, TickOutcome::Caught);
    EXPECT_EQ(game.elapsedTicks, 10);
}

}  // namespace
