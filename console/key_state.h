// What the game's key polls see: for each key, whether it was pressed since the previous query of
// that key and whether it is down now, answered the way a console that tracks the keyboard would.
//
// A terminal sends a press (and auto-repeats while a key is held), but usually no release. Where
// releases are reported, down-now is exact. Elsewhere a key counts as down for a short moment
// after a query has seen its press: long enough that every query of the same loop pass sees it
// (the menu asks for Enter once per item), too short for the next pass. The moment starts at the
// query rather than at the read, because a press can be read during a wait well before the pass
// that looks at it.
//
// Times are milliseconds on any monotonic clock, passed in so tests can drive the clock.
#pragma once

#include <array>
#include <cstdint>

#include "console/console_primitives.h"

// What a keyboard reports of one key.
enum class KeyAction : std::uint8_t { Press, Repeat, Release };

class KeyState {
public:
    // How long a press stays down for later queries where releases are not reported.
    static constexpr long long kDownWindowMs = 8;
    // A key reported down that sends no event (press, repeat, release) for this long is taken
    // as released: a release can be lost (a broken sequence, focus moving away).
    static constexpr long long kStaleDownMs = 2500;

    // Whether the terminal reports releases of the arrows and of Enter.
    void setReleasesReported(bool arrows, bool enter);

    // Every release of every key is reported, and a key stays down until its release however
    // long it sends nothing: a browser auto-repeats only the key pressed last, so a key held
    // under another one goes quiet while it is still down.
    void setReleasesAlwaysReported();

    void apply(Key key, KeyAction action, long long nowMs);

    // The console's answer for `key`; clears its pressed-since-last-query fact.
    bool query(Key key, long long nowMs);

    // Whether some key would read as pressed now: down, within its moment after a press, or
    // pressed without a query having seen it yet. A loop that waits for the player must not
    // sleep while this holds: the key acts on every pass.
    bool anyDown(long long nowMs) const;

    // No key pressed and none down (after the terminal was handed to another program).
    void clear();

private:
    struct Facts {
        bool pressedSinceQuery = false;
        bool down = false;           // exact, where releases are reported
        long long lastEventMs = 0;   // of the last press, repeat or release
        long long downUntilMs = -1;  // the short moment after a query saw a press
    };

    static int slot(Key key);
    bool releasesReported(Key key) const;

    std::array<Facts, 5> facts_{};
    bool arrowReleases_ = false;
    bool enterReleases_ = false;
    bool quietKeysExpire_ = true;
};
