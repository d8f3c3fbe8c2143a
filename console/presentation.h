// Bringing a real screen up to date with a shadow screen (a ScreenModel), for backends that draw
// into the model and show it only at chosen moments.
//
// When to show it (FramePacing):
// - at pauses, at each letter of the typewriter, and before another program takes the screen;
// - at the start of a sweep over the whole picture, which the game begins by moving the cursor
//   to (0, 0). Loops that repaint the screen without pausing (the menu, the end screens) start
//   every pass that way, and at that moment the picture of the previous pass stands complete.
//   Such a boundary is held to one per frame (~60 Hz), so a loop that repaints an unchanged
//   screen waits instead of spinning; when the pass before changed nothing on the screen and no
//   key is down, it waits on until input arrives or a quarter of a second has passed;
// - as a safety net, any output that has waited for several frames.
// What to send (ShownScreen): the smallest rectangle that holds every cell that differs from what
// the real screen shows, so the states a pass goes through on its way (the menu draws the selected
// box White before it draws it Green) never reach the screen.
#pragma once

#include <array>
#include <optional>

#include "console/screen_model.h"

// A rectangle of cells, both corners included.
struct CellArea {
    int left;
    int top;
    int right;
    int bottom;

    friend bool operator==(const CellArea&, const CellArea&) = default;
};

// What the real screen shows of the model.
class ShownScreen {
public:
    // The real screen's contents are unknown (another program drew on it, it was resized): the
    // next update covers every cell.
    void invalidate() { valid_ = false; }

    // Takes the model's picture as shown and returns the smallest area holding every cell that
    // differs from what was shown before, or nothing when no cell does.
    std::optional<CellArea> update(const ScreenModel& model);

private:
    std::array<ScreenCell, ScreenModel::kColumns * ScreenModel::kRows> cells_{};
    bool valid_ = false;
    unsigned long long modelChanges_ = 0;
};

// When the backend should present. Times are microseconds on a monotonic clock.
class FramePacing {
public:
    static constexpr long long kFrameUs = 16'000;
    // A sweep whose presentation sent nothing, with no key down, waits this long for input.
    static constexpr long long kIdleFrameUs = 250'000;
    // Long enough that a pass held up by a busy machine is not shown half drawn.
    static constexpr long long kSafetyNetUs = 100'000;
    static constexpr int kSafetyNetStride = 256;  // drawing calls between two looks at the clock

    // The screen was brought up to date at `nowUs`.
    void presented(long long nowUs) {
        lastPresentUs_ = nowUs;
        callsSinceCheck_ = 0;
    }

    // The earliest time at which the next sweep may be shown.
    long long frameDueUs() const { return lastPresentUs_ + kFrameUs; }

    // Until when a sweep that showed nothing new may wait for input.
    long long idleDueUs() const { return lastPresentUs_ + kIdleFrameUs; }

    // Counts one drawing call; true when output has waited so long that it should be shown now.
    // Reads the clock through `nowUs` only every kSafetyNetStride calls.
    template <typename Clock>
    bool safetyNetDue(Clock nowUs) {
        if (++callsSinceCheck_ < kSafetyNetStride) return false;
        callsSinceCheck_ = 0;
        return nowUs() - lastPresentUs_ >= kSafetyNetUs;
    }

private:
    long long lastPresentUs_ = 0;
    int callsSinceCheck_ = 0;
};
