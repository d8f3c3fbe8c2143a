// What the game's key polls see: for each key, whether it was pressed since the previous query of
// that key and whether it is down now, answered the way a console that tracks the keyboard would.
//
// A terminal sends a press (and auto-repeats while a key is held), but usually no release. Where
// releases are reported, down-now is exact. Where the keyboard itself can be asked (the X server's
// key map), a key whose press came in is down for as long as the keyboard says so. Elsewhere a
// key counts as down for a short moment after a query has seen its press: long enough that every
// query of the same loop pass sees it, too short for the next pass. The moment starts at the
// query rather than at the read, because a press can be read during a wait well before the pass
// that looks at it.
//
// A press of a key that is known to be down is its auto-repeat, not a new press: it adds nothing,
// so the key stops counting as soon as it is let go, even if a repeat came in just before. The
// repeats of a key whose press never came in (it was pressed for another program) add nothing
// either.
//
// Times are milliseconds on any monotonic clock, passed in so tests can drive the clock.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "console/console_primitives.h"

// The keys the game polls.
inline constexpr std::array<Key, 5> kGameKeys = {Key::Enter, Key::Left, Key::Up, Key::Right,
                                                 Key::Down};

// The game's key that a virtual-key code names (the codes of the Windows console, which
// terminals in win32-input-mode and web pages use too), if any.
std::optional<Key> gameKeyFor(int virtualKey);

// What a keyboard reports of one key.
enum class KeyAction : std::uint8_t { Press, Repeat, Release };

class KeyState {
public:
    // How long a press stays down for later queries where releases are not reported.
    static constexpr long long kDownWindowMs = 8;
    // A key reported down that sends no event (press, repeat, release) for this long is taken
    // as released: a release can be lost (a broken sequence, focus moving away).
    static constexpr long long kStaleDownMs = 2500;
    // Presses of one key closer together than this are auto-repeat: no hand taps that fast.
    static constexpr long long kRepeatGapMs = 60;
    // A keyboard that says "up" this many times in a row about a key that is auto-repeating does
    // not see the keys the terminal gets (a Wayland terminal, a display that is not the one with
    // the keyboard): its word is not asked for any more.
    static constexpr int kBlindEvidence = 3;

    // Whether the terminal reports releases of the arrows and of Enter.
    void setReleasesReported(bool arrows, bool enter);

    // Every release of every key is reported, and a key stays down until its release however
    // long it sends nothing: a browser auto-repeats only the key pressed last, so a key held
    // under another one goes quiet while it is still down.
    void setReleasesAlwaysReported();

    void apply(Key key, KeyAction action, long long nowMs);

    // Whether the keyboard's word can be had: only then do presses wait for it.
    void setKeyboardView(bool available);

    // The keyboard's own word on whether `key` is down, from a look taken after every event
    // applied so far. Only a key whose press came in through apply() can be down by its word, so
    // keys typed into another window never count; "up" ends the key's hold.
    void applyKeyboardView(Key key, bool down);

    // The keyboard's word can no longer be had (it stopped answering): keys held by it alone
    // count as released; their next press or repeat counts again.
    void keyboardViewLost();

    // Keys waiting for the keyboard's word: pressed and not yet seen released by it.
    bool wantsKeyboardView() const;

    // Whether the keyboard's word proved worthless (see kBlindEvidence).
    bool keyboardBlind() const { return blindEvidence_ >= kBlindEvidence; }

    // The console's answer for `key`; clears its pressed-since-last-query fact.
    bool query(Key key, long long nowMs);

    // Whether `key` would read as pressed now: down (by its reported release or by the
    // keyboard's word, or waiting for that word), within its moment after a press, or pressed
    // without a query having seen it yet. A loop that waits for the player must not sleep while
    // this holds for a key it polls: the key acts on every pass.
    bool keyDown(Key key, long long nowMs) const;

    // No key pressed and none down (after the terminal was handed to another program, or lost
    // the focus).
    void clear();

private:
    struct Facts {
        bool pressedSinceQuery = false;
        bool pressSeen = false;       // pressed, and not released since
        bool down = false;            // exact, where releases are reported
        bool watched = false;         // pressed; the keyboard has not said "up" since
        bool heldByKeyboard = false;  // and the keyboard says it is down
        bool refuted = false;         // the keyboard said "up" after the last press
        long long lastEventMs = 0;    // of the last press, repeat or release
        long long lastPressMs = -1;   // of the last press or repeat
        long long downUntilMs = -1;   // the short moment after a query saw a press
    };

    static int slot(Key key);
    bool releasesReported(Key key) const;
    bool staleDown(const Facts& facts, long long nowMs) const;

    std::array<Facts, kGameKeys.size()> facts_{};
    bool arrowReleases_ = false;
    bool enterReleases_ = false;
    bool quietKeysExpire_ = true;
    bool viewAvailable_ = false;
    int blindEvidence_ = 0;
};
