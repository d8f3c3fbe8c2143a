// The shadow console on a backend of the test's own: a virtual clock that only the waits and the
// test move on, a screen that records every picture shown and when, and keys the test presses.
// What it pins: when the picture reaches the screen, how long each kind of wait lasts, and what a
// key poll answers within and across passes.
#include "console/shadow_console.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "console/console_backend.h"
#include "console/console_primitives.h"
#include "console/screen_model.h"

namespace {

struct Shown {
    long long atUs;
    ScreenModel picture;
};

enum class Waited { Pause, Frame, Input };

struct FakeBackend {
    long long nowUs = 5'000'000;
    ScreenModel screen;
    ShownScreen changed;  // what of the picture differs from the screen
    std::vector<Shown> shown;
    std::vector<Waited> waits;
    int turns = 0;
    long long inputAfterUs = 1'000'000;                      // how long a wait for input lasts
    std::vector<std::pair<Key, KeyAction>> duringNextSleep;  // key events the next sleep reads
};

FakeBackend fake;

}  // namespace

namespace backend {

Output start() {
    return Output::Screen;
}

long long nowUs() {
    return fake.nowUs;
}

bool present(const ScreenModel& picture) {
    if (!fake.changed.update(picture)) return false;
    fake.screen = picture;
    fake.shown.push_back({fake.nowUs, picture});
    return true;
}

void sleepUntil(long long deadlineUs, Sleep kind) {
    fake.waits.push_back(kind == Sleep::Pause ? Waited::Pause : Waited::Frame);
    fake.nowUs = std::max(fake.nowUs, deadlineUs);
    for (const auto& [key, action] : fake.duringNextSleep)
        shadow::keys().apply(key, action, fake.nowUs / 1000);
    fake.duringNextSleep.clear();
}

void sleepUntilInput() {
    fake.waits.push_back(Waited::Input);
    fake.nowUs += fake.inputAfterUs;
}

void giveTurn() {
    ++fake.turns;
}

void readInput() {}

void hideCursor() {}

}  // namespace backend

namespace {

constexpr int kFrameUs = 16'000;

// The rows drawn: the last is left alone, since writing its last cell scrolls the console.
constexpr int kRowsDrawn = kConsoleRows - 1;

// A picture of nothing but `glyph` from row `top` down, drawn cell by cell as the renderer does.
void drawAll(unsigned char glyph, int top = 0) {
    for (int row = top; row < kRowsDrawn; ++row) {
        gotoXY(0, row);
        for (int column = 0; column < kConsoleColumns; ++column) putGlyph(glyph);
    }
}

// Whether every cell from row `top` down shows the same glyph: a pass drawn whole.
bool whole(const ScreenModel& picture, int top = 0) {
    const unsigned char glyph = picture.at(0, top).glyph;
    for (int row = top; row < kRowsDrawn; ++row) {
        if (picture.rowText(row) != std::string(kConsoleColumns, static_cast<char>(glyph)))
            return false;
    }
    return true;
}

// The console as a game finds it after its start: a blank screen shown, no key, nothing recorded.
class ShadowConsole : public testing::Test {
protected:
    void SetUp() override {
        shadow::forgetKeys();
        clearScreen();
        pauseMs(1);
        fake.shown.clear();
        fake.waits.clear();
        fake.turns = 0;
    }
};

// The play loop draws a tick, then pauses. The picture shown before the pause is long out of date
// when the pause ends, while the next tick has only begun: the safety net must count from the
// end of the pause, or it shows that tick half drawn.
TEST_F(ShadowConsole, APauseNeverLeadsToAHalfDrawnTickBeingShown) {
    for (const int pauseMs : {100, 100, 250, 1000}) {
        drawAll(static_cast<unsigned char>('a' + fake.shown.size()), 1);
        ::pauseMs(pauseMs);
    }
    ASSERT_EQ(fake.shown.size(), 4u);
    for (const Shown& shown : fake.shown) EXPECT_TRUE(whole(shown.picture, 1)) << shown.atUs;
    EXPECT_EQ(fake.shown.back().picture.at(0, 1).glyph, 'd');
}

// A pass held up for longer than any pass takes is shown as far as it got, and then at its pause.
TEST_F(ShadowConsole, APassHeldUpIsShownAsFarAsItGot) {
    drawAll('x', 20);
    fake.nowUs += 150'000;
    drawAll('y', 24);
    ASSERT_EQ(fake.shown.size(), 1u);
    EXPECT_EQ(fake.shown[0].picture.at(0, 28).glyph, 'x');
    pauseMs(100);
    EXPECT_EQ(fake.shown.back().picture.at(0, 28).glyph, 'y');
}

// The time another program had the screen is a wait too: the pass drawn after it is not shown
// half done.
TEST_F(ShadowConsole, ThePassAfterAnotherProgramIsNotShownHalfDone) {
    fake.nowUs += 5'000'000;
    shadow::screenReturned();
    drawAll('h', 1);
    EXPECT_TRUE(fake.shown.empty());
}

// The menu and the end screens repaint without pausing, each pass a sweep from (0, 0): at most
// one is shown per frame, each whole, however fast or slow the passes are drawn.
TEST_F(ShadowConsole, SweepsAreShownWholeAndAtMostOncePerFrame) {
    for (const long long passUs : {0LL, 5'000LL, 15'000LL, 40'000LL}) {
        fake.shown.clear();
        for (int pass = 0; pass < 60; ++pass) {
            drawAll(static_cast<unsigned char>('A' + pass % 26));  // begins with gotoXY(0, 0)
            fake.nowUs += passUs;
        }
        ASSERT_GE(fake.shown.size(), 58u) << passUs;
        for (std::size_t i = 0; i < fake.shown.size(); ++i) {
            EXPECT_TRUE(whole(fake.shown[i].picture)) << passUs << " " << i;
            if (i > 0) {
                EXPECT_GE(fake.shown[i].atUs - fake.shown[i - 1].atUs, kFrameUs) << passUs;
            }
        }
    }
}

// A sweep that changes nothing, with no key down, waits for input instead of repainting (a cell
// drawn Green and then White again, as the menu does, is no change); a key held down keeps the
// passes coming at the frame rate, but only a key the loop polls: an arrow pressed on a screen
// that never asks for it does not keep the loop awake.
TEST_F(ShadowConsole, AnUnchangedPictureWaitsForInputUnlessAPolledKeyIsDown) {
    shadow::keys().setReleasesAlwaysReported();
    const auto passes = [](int count) {
        fake.waits.clear();
        for (int pass = 0; pass < count; ++pass) {
            drawAll('m');
            for (const Colour colour : {Colour::Green, Colour::White}) {
                gotoXY(1, 1);
                setColor(colour);
                putGlyph('m');
            }
            keyPressed(Key::Down);
        }
        return fake.waits;
    };
    using enum Waited;
    EXPECT_EQ(passes(4), (std::vector<Waited>{Frame, Frame, Input, Frame, Input}));
    EXPECT_EQ(fake.shown.size(), 1u);

    shadow::keys().apply(Key::Down, KeyAction::Press, monotonicMs());
    EXPECT_EQ(passes(3), std::vector<Waited>(3, Frame));
    shadow::keys().apply(Key::Down, KeyAction::Release, monotonicMs());
    shadow::keys().apply(Key::Left, KeyAction::Press, monotonicMs());
    EXPECT_EQ(passes(3), (std::vector<Waited>{Frame, Input, Frame, Input, Frame, Input}));
    EXPECT_EQ(fake.shown.size(), 1u);
}

// A key let go during the frame after a pass that saw it pressed gets one more pass, which sees it
// up, before the loop waits for input: the menu takes a press read by two passes in a row for
// one hold. A key pressed during the frame keeps the loop from waiting for input it already has.
TEST_F(ShadowConsole, AKeyThatChangesDuringTheFrameGetsAPassBeforeTheLoopSleeps) {
    using enum Waited;
    shadow::keys().setReleasesAlwaysReported();
    const auto pass = [] {
        drawAll('k');
        return keyPressed(Key::Up);
    };
    pass();
    pass();
    shadow::keys().apply(Key::Up, KeyAction::Press, monotonicMs());
    fake.waits.clear();
    EXPECT_TRUE(pass());
    fake.duringNextSleep = {{Key::Up, KeyAction::Release}};
    EXPECT_FALSE(pass());
    EXPECT_FALSE(pass());
    EXPECT_EQ(fake.waits, (std::vector<Waited>{Frame, Frame, Frame, Input}));

    fake.waits.clear();
    fake.duringNextSleep = {{Key::Up, KeyAction::Press}};
    EXPECT_TRUE(pass());
    EXPECT_EQ(fake.waits, std::vector<Waited>{Frame});
    shadow::keys().apply(Key::Up, KeyAction::Release, monotonicMs());
}

// The first sweep after a clear starts the picture: there is nothing to show yet, and no reason
// to wait.
TEST_F(ShadowConsole, TheFirstSweepAfterAClearShowsNothingAndDoesNotWait) {
    clearScreen();
    gotoXY(0, 0);
    EXPECT_TRUE(fake.shown.empty());
    EXPECT_TRUE(fake.waits.empty());
    putText("menu");
    gotoXY(0, 0);
    ASSERT_EQ(fake.shown.size(), 1u);
    EXPECT_EQ(fake.shown[0].picture.rowText(0).substr(0, 4), "menu");
}

// Each letter is shown with the block behind it, then held 10 ms; the block is gone afterwards.
TEST_F(ShadowConsole, TheTypewriterShowsEachLetterWithItsBlock) {
    gotoXY(3, 4);
    const long long before = fake.nowUs;
    typeText("ab");
    EXPECT_EQ(fake.nowUs - before, 20'000);
    ASSERT_EQ(fake.shown.size(), 2u);
    EXPECT_EQ(fake.shown[0].picture.rowText(4).substr(3, 2), "a\xDB");
    EXPECT_EQ(fake.shown[1].picture.rowText(4).substr(3, 3), "ab\xDB");
    pauseMs(1);
    EXPECT_EQ(fake.screen.rowText(4).substr(3, 3), "ab ");
    typeText("");
    EXPECT_EQ(fake.nowUs - before, 20'000 + 1'000);
}

// A tap read by a poll counts on every poll of the same pass, however slow, and not in the next.
TEST_F(ShadowConsole, ATapCountsOnEveryPollOfItsPassOnly) {
    shadow::keys().setReleasesAlwaysReported();
    shadow::keys().apply(Key::Enter, KeyAction::Press, monotonicMs());
    shadow::keys().apply(Key::Enter, KeyAction::Release, monotonicMs());
    for (int item = 0; item < 4; ++item) {
        EXPECT_TRUE(keyPressed(Key::Enter)) << item;
        fake.nowUs += 50'000;
    }
    EXPECT_FALSE(keyPressed(Key::Up));
    pauseMs(20);
    EXPECT_FALSE(keyPressed(Key::Enter));
}

// Where the platform runs only while the game waits, a pass that goes on without a wait gives it
// a turn once a frame; a pass that follows a wait gives none.
TEST_F(ShadowConsole, ALongPassGivesThePlatformATurnOnceAFrame) {
    drawAll('t', 10);
    keyPressed(Key::Left);
    EXPECT_EQ(fake.turns, 0);
    fake.nowUs += kFrameUs;
    drawAll('u', 26);
    EXPECT_EQ(fake.turns, 1);
    fake.nowUs += kFrameUs;
    keyPressed(Key::Left);
    EXPECT_EQ(fake.turns, 2);
}

}  // namespace
