#include "console/terminal/key_state.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr long long kPassMs = 16;   // one menu pass at the frame rate
constexpr long long kTickMs = 100;  // one play tick

// The menu's key polls of one pass: Up, Down, then Enter once per item.
struct MenuPass {
    bool up;
    bool down;
    int enterAnswers;
};

MenuPass menuPass(KeyState& keys, long long nowMs) {
    MenuPass pass{keys.query(Key::Up, nowMs), keys.query(Key::Down, nowMs), 0};
    for (int item = 0; item < 4; ++item) pass.enterAnswers += keys.query(Key::Enter, nowMs) ? 1 : 0;
    return pass;
}

TEST(KeyState, TapIsSeenByEveryQueryOfOnePassAndNotByTheNext) {
    KeyState keys;
    keys.apply(Key::Enter, KeyAction::Press, 0);
    EXPECT_EQ(menuPass(keys, 1).enterAnswers, 4);
    EXPECT_EQ(menuPass(keys, 1 + kPassMs).enterAnswers, 0);

    // Read during the frame wait, well before the pass that looks at it.
    keys.apply(Key::Enter, KeyAction::Press, 100);
    EXPECT_EQ(menuPass(keys, 100 + kPassMs - 1).enterAnswers, 4);
    EXPECT_EQ(menuPass(keys, 100 + 2 * kPassMs).enterAnswers, 0);

    // A press and its release both read before the pass still count for the whole pass.
    keys.setReleasesReported(true, true);
    keys.apply(Key::Enter, KeyAction::Press, 200);
    keys.apply(Key::Enter, KeyAction::Release, 201);
    EXPECT_EQ(menuPass(keys, 210).enterAnswers, 4);
    EXPECT_EQ(menuPass(keys, 210 + kPassMs).enterAnswers, 0);
}

TEST(KeyState, DownAndEnterTypedTogetherAreBothPressedInOnePass) {
    KeyState keys;
    keys.apply(Key::Down, KeyAction::Press, 0);
    keys.apply(Key::Enter, KeyAction::Press, 0);
    const MenuPass pass = menuPass(keys, 5);
    EXPECT_FALSE(pass.up);
    EXPECT_TRUE(pass.down);
    EXPECT_EQ(pass.enterAnswers, 4);
}

TEST(KeyState, HeldKeyWithReportedReleasesIsPressedUntilReleased) {
    KeyState keys;
    keys.setReleasesReported(true, true);
    keys.apply(Key::Right, KeyAction::Press, 0);
    for (long long tick = 1; tick <= 10; ++tick) {
        EXPECT_TRUE(keys.query(Key::Right, tick * kTickMs)) << "tick " << tick;
    }
    keys.apply(Key::Right, KeyAction::Release, 1050);
    EXPECT_FALSE(keys.query(Key::Right, 1100));
    EXPECT_FALSE(keys.query(Key::Left, 1100));

    // A release that never arrives does not leave the key down for ever.
    keys.apply(Key::Up, KeyAction::Press, 2000);
    EXPECT_TRUE(keys.query(Key::Up, 2000 + KeyState::kStaleDownMs));
    EXPECT_FALSE(keys.query(Key::Up, 2001 + KeyState::kStaleDownMs + KeyState::kDownWindowMs));
}

TEST(KeyState, AutoRepeatKeepsAKeyPressedTickAfterTickWithoutReleases) {
    // A key held from 0 to 1000 ms: the terminal sends its press, then after its repeat delay a
    // repeat about every 33 ms, and nothing on release. The play loop asks every 100 ms.
    KeyState keys;
    std::string seen;
    for (long long t = 0; t <= 1200; ++t) {
        if (t == 0) keys.apply(Key::Left, KeyAction::Press, t);
        if (t >= 500 && t <= 1000 && (t - 500) % 33 == 0)
            keys.apply(Key::Left, KeyAction::Press, t);
        if (t % kTickMs == 50) seen += keys.query(Key::Left, t) ? 'x' : '.';
    }
    // The first tick sees the press, the ticks inside the delay nothing, every tick of the
    // repeats the key, and the tick after the last repeat nothing.
    EXPECT_EQ(seen, "x....xxxxxx.");
}

TEST(KeyState, ClearForgetsPressesAndHeldKeys) {
    KeyState keys;
    keys.setReleasesReported(true, true);
    keys.apply(Key::Down, KeyAction::Press, 0);
    keys.apply(Key::Enter, KeyAction::Press, 0);
    keys.clear();
    EXPECT_FALSE(keys.query(Key::Down, 1));
    EXPECT_FALSE(keys.query(Key::Enter, 1));
}

}  // namespace
