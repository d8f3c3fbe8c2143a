#include "console/key_state.h"

void KeyState::setReleasesReported(bool arrows, bool enter) {
    arrowReleases_ = arrows;
    enterReleases_ = enter;
    // Without releases a key that was down would stay down for good.
    for (Facts& facts : facts_) facts.down = false;
}

void KeyState::setReleasesAlwaysReported() {
    setReleasesReported(true, true);
    quietKeysExpire_ = false;
}

int KeyState::slot(Key key) {
    switch (key) {
        case Key::Enter:
            return 0;
        case Key::Left:
            return 1;
        case Key::Up:
            return 2;
        case Key::Right:
            return 3;
        case Key::Down:
            return 4;
    }
    return 0;
}

bool KeyState::releasesReported(Key key) const {
    return key == Key::Enter ? enterReleases_ : arrowReleases_;
}

void KeyState::apply(Key key, KeyAction action, long long nowMs) {
    Facts& facts = facts_[slot(key)];
    facts.lastEventMs = nowMs;
    if (action == KeyAction::Release) {
        facts.down = false;
        return;
    }
    facts.pressedSinceQuery = true;
    facts.down = releasesReported(key);
}

bool KeyState::query(Key key, long long nowMs) {
    Facts& facts = facts_[slot(key)];
    if (quietKeysExpire_ && facts.down && nowMs - facts.lastEventMs > kStaleDownMs)
        facts.down = false;

    const bool pressed = facts.pressedSinceQuery || facts.down || nowMs < facts.downUntilMs;
    if (facts.pressedSinceQuery) {
        facts.pressedSinceQuery = false;
        facts.downUntilMs = nowMs + kDownWindowMs;
    }
    return pressed;
}

bool KeyState::anyDown(long long nowMs) const {
    for (const Facts& facts : facts_) {
        const bool down =
            facts.down && (!quietKeysExpire_ || nowMs - facts.lastEventMs <= kStaleDownMs);
        if (facts.pressedSinceQuery || down || nowMs < facts.downUntilMs) return true;
    }
    return false;
}

void KeyState::clear() {
    facts_ = {};
}
