#include "console/key_state.h"

std::optional<Key> gameKeyFor(int virtualKey) {
    for (const Key key : kGameKeys)
        if (static_cast<int>(key) == virtualKey) return key;
    return std::nullopt;
}

void KeyState::setReleasesReported(bool arrows, bool enter) {
    arrowReleases_ = arrows;
    enterReleases_ = enter;
    // Without releases a key that was down would stay down for good; with them, the keyboard's
    // word is not needed.
    for (Facts& facts : facts_) {
        facts.down = false;
        facts.watched = false;
        facts.heldByKeyboard = false;
    }
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

bool KeyState::staleDown(const Facts& facts, long long nowMs) const {
    return quietKeysExpire_ && nowMs - facts.lastEventMs > kStaleDownMs;
}

void KeyState::apply(Key key, KeyAction action, long long nowMs) {
    Facts& facts = facts_[slot(key)];
    facts.lastEventMs = nowMs;
    if (action == KeyAction::Release) {
        facts.down = false;
        facts.pressSeen = false;
        return;
    }
    // A repeat of a key whose press never came in was pressed for another program (before the
    // terminal came back): it counts once pressed anew.
    if (action == KeyAction::Repeat && !facts.pressSeen) return;
    facts.pressSeen = true;
    if (releasesReported(key)) {
        if (!facts.down) facts.pressedSinceQuery = true;
        facts.down = true;
    } else {
        // The keyboard said "up" after the previous press, yet the key repeats: it cannot see.
        if (facts.refuted && nowMs - facts.lastPressMs <= kRepeatGapMs) ++blindEvidence_;
        if (!facts.heldByKeyboard) facts.pressedSinceQuery = true;
        facts.watched = viewAvailable_;
        facts.refuted = false;
    }
    facts.lastPressMs = nowMs;
}

void KeyState::applyKeyboardView(Key key, bool down) {
    Facts& facts = facts_[slot(key)];
    if (!facts.watched) return;
    facts.heldByKeyboard = down;
    if (down) {
        blindEvidence_ = 0;
    } else {
        facts.watched = false;
        facts.refuted = true;
    }
}

void KeyState::setKeyboardView(bool available) {
    viewAvailable_ = available;
    if (!available) keyboardViewLost();
}

void KeyState::keyboardViewLost() {
    for (Facts& facts : facts_) {
        facts.watched = false;
        facts.heldByKeyboard = false;
        facts.refuted = false;
    }
}

bool KeyState::wantsKeyboardView() const {
    for (const Facts& facts : facts_) {
        if (facts.watched) return true;
    }
    return false;
}

bool KeyState::query(Key key, long long nowMs) {
    Facts& facts = facts_[slot(key)];
    if (facts.down && staleDown(facts, nowMs)) facts.down = false;

    const bool pressed =
        facts.pressedSinceQuery || facts.down || facts.heldByKeyboard || nowMs < facts.downUntilMs;
    if (facts.pressedSinceQuery) {
        facts.pressedSinceQuery = false;
        facts.downUntilMs = nowMs + kDownWindowMs;
    }
    return pressed;
}

bool KeyState::keyDown(Key key, long long nowMs) const {
    const Facts& facts = facts_[slot(key)];
    return facts.pressedSinceQuery || facts.watched || facts.heldByKeyboard ||
           (facts.down && !staleDown(facts, nowMs)) || nowMs < facts.downUntilMs;
}

void KeyState::clear() {
    facts_ = {};
}
