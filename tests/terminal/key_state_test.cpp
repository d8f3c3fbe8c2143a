#include "console/terminal/key_state.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr long long kPassMs = 16;   // one menu pass at the frame rate
constexpr long long kTickMs = 100;  // one play tick

// How many of a menu pass's polls of `key` see it: the menu asks for Enter once per item.
int polls(KeyState& keys, Key key, long long nowMs) {
    int seen = 0;
    for (int item = 0; item < 4; ++item) seen += keys.query(key, nowMs) ? 1 : 0;
    return seen;
}

TEST(KeyState, TapIsSeenByEveryQueryOfOnePassAndNotByTheNext) {
    KeyState keys;
    keys.apply(Key::Enter, KeyAction::Press, 0);
    EXPECT_EQ(polls(keys, Key::Enter, 1), 4);
    EXPECT_EQ(polls(keys, Key::Enter, 1 + kPassMs), 0);

    // Read during the frame wait, well before the pass that looks at it.
    keys.apply(Key::Enter, KeyAction::Press, 100);
    EXPECT_EQ(polls(keys, Key::Enter, 100 + kPassMs - 1), 4);
    EXPECT_EQ(polls(keys, Key::Enter, 100 + 2 * kPassMs), 0);

    // Down and Enter typed together are both pressed in one pass.
    keys.apply(Key::Down, KeyAction::Press, 150);
    keys.apply(Key::Enter, KeyAction::Press, 150);
    EXPECT_FALSE(keys.query(Key::Up, 155));
    EXPECT_TRUE(keys.query(Key::Down, 155));
    EXPECT_EQ(polls(keys, Key::Enter, 155), 4);

    // A press and its release both read before the pass still count for the whole pass.
    keys.setReleasesReported(true, true);
    keys.apply(Key::Enter, KeyAction::Press, 200);
    keys.apply(Key::Enter, KeyAction::Release, 201);
    EXPECT_EQ(polls(keys, Key::Enter, 210), 4);
    EXPECT_EQ(polls(keys, Key::Enter, 210 + kPassMs), 0);
}

TEST(KeyState, HeldKeyWithReportedReleasesIsPressedUntilReleased) {
    KeyState keys;
    keys.setReleasesReported(true, true);
    keys.apply(Key::Right, KeyAction::Press, 0);
    for (long long tick = 1; tick <= 10; ++tick)
        EXPECT_TRUE(keys.query(Key::Right, tick * kTickMs));
    keys.apply(Key::Right, KeyAction::Release, 1050);
    EXPECT_FALSE(keys.query(Key::Right, 1100));

    // A release that never arrives does not leave the key down for ever.
    keys.apply(Key::Up, KeyAction::Press, 2000);
    EXPECT_TRUE(keys.query(Key::Up, 2000 + KeyState::kStaleDownMs));
    EXPECT_FALSE(keys.query(Key::Up, 2001 + KeyState::kStaleDownMs + KeyState::kDownWindowMs));

    // Handing the terminal to another program forgets presses and held keys.
    keys.apply(Key::Down, KeyAction::Press, 3000);
    keys.apply(Key::Enter, KeyAction::Press, 3000);
    keys.clear();
    EXPECT_FALSE(keys.query(Key::Down, 3001));
    EXPECT_FALSE(keys.query(Key::Enter, 3001));
}

TEST(KeyState, AutoRepeatKeepsAKeyPressedTickAfterTickWithoutReleases) {
    // Left held from 0 to 1000 ms: its press, then after the repeat delay a repeat about every
    // 33 ms, and nothing on release. The play loop asks every 100 ms.
    KeyState keys;
    std::string seen;
    for (long long t = 0; t <= 1200; ++t) {
        if (t == 0 || (t >= 500 && t <= 1000 && (t - 500) % 33 == 0))
            keys.apply(Key::Left, KeyAction::Press, t);
        if (t % kTickMs == 50) seen += keys.query(Key::Left, t) ? 'x' : '.';
    }
    // The ticks inside the repeat delay see nothing, and so does the one after the last repeat.
    EXPECT_EQ(seen, "x....xxxxxx.");
}

}  // namespace
