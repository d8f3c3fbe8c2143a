#include "console/key_state.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using enum Key;
using enum KeyAction;
constexpr long long kPassMs = 16;   // one menu pass at the frame rate
constexpr long long kTickMs = 100;  // one play tick

// How many of a menu pass's polls of `key` see it: the menu asks for Enter once per item.
int polls(KeyState& keys, Key key, long long nowMs) {
    int seen = 0;
    for (int item = 0; item < 4; ++item) seen += keys.query(key, nowMs) ? 1 : 0;
    return seen;
}

TEST(KeyState, TapIsSeenByEveryQueryOfOnePassAndNotByTheNext) {
    // Down and Enter typed together, read during the frame wait well before the pass that looks
    // at them: both pressed for that whole pass, and not in the next.
    KeyState keys;
    const long long pass = 100 + kPassMs - 1, next = pass + kPassMs;
    keys.apply(Down, Press, 100), keys.apply(Enter, Press, 100);
    EXPECT_TRUE(!keys.query(Up, pass) && keys.query(Down, pass));
    EXPECT_EQ(polls(keys, Enter, pass), 4);
    EXPECT_EQ(polls(keys, Down, next) + polls(keys, Enter, next), 0);
}

TEST(KeyState, HeldKeyWithReportedReleasesIsPressedUntilReleased) {
    // A press and its release both read before a pass still count for the whole pass.
    KeyState keys;
    keys.setReleasesReported(true, true);
    keys.apply(Enter, Press, 0), keys.apply(Enter, Release, 1);
    EXPECT_EQ(polls(keys, Enter, 10), 4);
    EXPECT_EQ(polls(keys, Enter, 10 + kPassMs), 0);

    // A repeat that came just before the release does not make the key count after it.
    keys.apply(Right, Press, 100);
    for (long long tick = 2; tick <= 10; ++tick) EXPECT_TRUE(keys.query(Right, tick * kTickMs));
    keys.apply(Right, Repeat, 1040), keys.apply(Right, Release, 1050);
    EXPECT_FALSE(keys.query(Right, 1100));

    // A release that never arrives does not leave the key down for ever.
    keys.apply(Up, Press, 2000);
    EXPECT_TRUE(keys.query(Up, 2000 + KeyState::kStaleDownMs));
    EXPECT_FALSE(keys.query(Up, 2001 + KeyState::kStaleDownMs + KeyState::kDownWindowMs));

    // Handing the terminal to another program forgets presses and held keys; a key still held
    // when it comes back counts once pressed anew, not by its repeats.
    keys.apply(Down, Press, 3000), keys.apply(Enter, Press, 3000);
    keys.clear();
    EXPECT_FALSE(keys.query(Down, 3001) || keys.query(Enter, 3001));
    keys.apply(Enter, Repeat, 3030);
    EXPECT_FALSE(keys.query(Enter, 3040));
    keys.apply(Enter, Release, 3050), keys.apply(Enter, Press, 3200);
    EXPECT_TRUE(keys.query(Enter, 3210));
}

TEST(KeyState, WhereEveryReleaseIsReportedAQuietHeldKeyStaysDown) {
    // Right held, then Up held over it: only Up would repeat, Right sends nothing for seconds.
    KeyState keys;
    keys.setReleasesAlwaysReported();
    keys.apply(Right, Press, 0), keys.apply(Up, Press, 300);
    const long long late = 300 + 2 * KeyState::kStaleDownMs;
    EXPECT_TRUE(keys.query(Right, late) && keys.query(Up, late));
    keys.apply(Right, Release, late + 1);
    EXPECT_FALSE(keys.query(Right, late + kTickMs));
    EXPECT_TRUE(keys.query(Up, late + kTickMs));
}

// Right held from 0 to 1000 ms on a terminal without releases: its press, its auto-repeat from
// 500 ms; the play loop asks every 100 ms. `looks(t)` is what the keyboard says of Right at t,
// asked every 4 ms while the key state wants it; returns what the ticks saw.
template <typename Looks>
std::string heldRight(KeyState& keys, Looks looks) {
    std::string seen;
    for (long long t = 0; t <= 1200; ++t) {
        if (t == 0 || (t >= 500 && t < 1000 && (t - 500) % 33 == 0)) keys.apply(Right, Press, t);
        if (t % 4 == 2 && keys.wantsKeyboardView()) keys.applyKeyboardView(Right, looks(t));
        if (t % kTickMs == 50) seen += keys.query(Right, t) ? 'x' : '.';
    }
    return seen;
}

TEST(KeyState, TheKeyboardsWordHoldsAKeyFromItsPressToItsRelease) {
    KeyState keys;
    keys.setKeyboardView(true);
    // Every tick sees it, from the first to the release, and none after, although a repeat came
    // in 10 ms before the release.
    EXPECT_EQ(heldRight(keys, [](long long t) { return t < 1000; }), "xxxxxxxxxx..");
    EXPECT_FALSE(keys.keyboardBlind() || keys.keyDown(Right, 1200));

    // A key down by the keyboard's word whose press never came in was typed into another window.
    keys.applyKeyboardView(Left, true);
    EXPECT_FALSE(keys.query(Left, 1300));
    // A tap that is over before the keyboard is asked counts once.
    keys.apply(Up, Press, 2000), keys.applyKeyboardView(Up, false);
    EXPECT_TRUE(keys.query(Up, 2050) && !keys.query(Up, 2150));
    // When the keyboard stops answering, a key held by its word alone is let go.
    keys.apply(Down, Press, 3000), keys.applyKeyboardView(Down, true);
    EXPECT_TRUE(keys.keyDown(Down, 3100) && keys.query(Down, 3100) && keys.query(Down, 3200));
    keys.keyboardViewLost();
    EXPECT_FALSE(keys.query(Down, 3300) || keys.keyDown(Down, 3300));
}

TEST(KeyState, AKeyboardThatCannotSeeTheKeysIsFoundOutWithoutChangingAnAnswer) {
    // The X server of a Wayland desktop says "up" for every key the terminal gets: the ticks see
    // what they see without its word (the press, nothing in the repeat delay, then every tick
    // until the last repeat), and after a few repeats its word is known worthless.
    KeyState blind, without;
    blind.setKeyboardView(true);
    const std::string seen = heldRight(blind, [](long long) { return false; });
    EXPECT_EQ(seen, heldRight(without, [](long long) { return false; }));
    EXPECT_EQ(seen, "x....xxxxxx.");
    EXPECT_TRUE(blind.keyboardBlind());
    // Quick taps of a keyboard that sees are no such evidence.
    KeyState seeing;
    seeing.setKeyboardView(true);
    for (long long t = 0; t < 1000; t += 70) {
        seeing.apply(Left, Press, t), seeing.applyKeyboardView(Left, false);
    }
    EXPECT_FALSE(seeing.keyboardBlind());
}

// The idle menu sleeps only when no key would act on the next pass: not while a press waits for
// its first query, nor in the moment after it, nor while a key with reported releases is held.
TEST(KeyState, AKeyIsDownWhileItCouldActOnTheNextPass) {
    KeyState keys;
    EXPECT_FALSE(keys.keyDown(Down, 0));
    keys.apply(Down, Press, 10);
    EXPECT_TRUE(keys.keyDown(Down, 50));  // read during a wait, not asked for yet
    keys.query(Down, 50);
    EXPECT_TRUE(keys.keyDown(Down, 50 + KeyState::kDownWindowMs - 1));
    EXPECT_FALSE(keys.keyDown(Down, 50 + KeyState::kDownWindowMs));

    keys.setReleasesReported(true, true);
    keys.apply(Left, Press, 100);
    keys.query(Left, 100);
    EXPECT_TRUE(keys.keyDown(Left, 100 + 2 * kPassMs));
    EXPECT_FALSE(keys.keyDown(Left, 100 + KeyState::kStaleDownMs + 1));  // a release was lost
    keys.apply(Left, Release, 200);
    EXPECT_FALSE(keys.keyDown(Left, 200));
}

}  // namespace
