#include "console/terminal/key_decoder.h"

namespace {

constexpr unsigned char kEsc = 0x1B;
constexpr unsigned char kBel = 0x07;
constexpr unsigned char kCan = 0x18;  // cancels a sequence in progress
constexpr unsigned char kSub = 0x1A;  // likewise
// Ctrl-C, Ctrl-\ and Ctrl-Z, when the terminal passes them on instead of raising their signals.
constexpr unsigned char kCtrlC = 0x03;
constexpr unsigned char kCtrlBackslash = 0x1C;
constexpr unsigned char kCtrlZ = 0x1A;

// Keyboard protocol key codes and modifier bits.
constexpr int kCodeEnter = 13;
constexpr int kCodeKeypadEnter = 57414;
constexpr int kCodeLetterC = 'c';
constexpr int kCodeLetterZ = 'z';
constexpr int kCodeBackslash = '\\';
constexpr int kModifierCtrl = 4;

// Win32 input records: virtual-key codes and control-key state bits, and the characters that
// Ctrl-C, Ctrl-Z and Ctrl-\ type.
constexpr int kVkLetterC = 'C';
constexpr int kVkLetterZ = 'Z';
constexpr int kVkBackslash = 0xDC;
constexpr int kStateAlt = 0x0001 | 0x0002;   // right and left Alt
constexpr int kStateCtrl = 0x0004 | 0x0008;  // right and left Ctrl
constexpr int kCharCtrlC = 0x03;
constexpr int kCharCtrlZ = 0x1A;
constexpr int kCharCtrlBackslash = 0x1C;

// Larger numbers are clamped: no key code or flag set comes near it, and it cannot overflow.
constexpr int kParamLimit = 1'000'000;

// The mark that ends a bracketed paste: ESC [ 2 0 1 ~.
constexpr unsigned char kPasteEnd[] = {kEsc, '[', '2', '0', '1', '~'};

bool keyAction(int event, KeyAction& action) {
    switch (event) {
        case 1:
            action = KeyAction::Press;
            return true;
        case 2:
            action = KeyAction::Repeat;
            return true;
        case 3:
            action = KeyAction::Release;
            return true;
        default:
            return false;
    }
}

bool arrowKey(unsigned char final, Key& key) {
    switch (final) {
        case 'A':
            key = Key::Up;
            return true;
        case 'B':
            key = Key::Down;
            return true;
        case 'C':
            key = Key::Right;
            return true;
        case 'D':
            key = Key::Left;
            return true;
        default:
            return false;
    }
}

InputEvent keyEvent(Key key, KeyAction action) {
    InputEvent event;
    event.kind = InputEvent::Kind::Key;
    event.key = key;
    event.action = action;
    return event;
}

InputEvent simpleEvent(InputEvent::Kind kind, int value = 0) {
    InputEvent event;
    event.kind = kind;
    event.value = value;
    return event;
}

}  // namespace

void KeyDecoder::feed(const unsigned char* data, std::size_t size, long long nowMs,
                      std::vector<InputEvent>& out) {
    if (size == 0) return;
    // A paste ends at its end mark, or at the latest this long after it began: keys typed while a
    // paste without an end goes on are the player's again soon, however fast they come.
    if (state_ == State::Paste
            ? nowMs - pasteStartMs_ > kPasteTimeoutMs
            : state_ != State::Ground && nowMs - lastByteMs_ > kSequenceTimeoutMs)
        reset();
    lastByteMs_ = nowMs;
    for (std::size_t i = 0; i < size; ++i) step(data[i], out);
}

void KeyDecoder::reset() {
    state_ = State::Ground;
    mouseBytesLeft_ = 0;
    pasteEndMatched_ = 0;
}

void KeyDecoder::startSequence(State state) {
    state_ = state;
    paramCount_ = 0;
    subIndex_ = 0;
    privateMarker_ = 0;
    intermediate_ = false;
}

void KeyDecoder::step(unsigned char byte, std::vector<InputEvent>& out) {
    switch (state_) {
        case State::Ground:
            if (byte == kEsc) {
                startSequence(State::Escape);
            } else if (byte == '\r' || byte == '\n') {
                out.push_back(keyEvent(Key::Enter, KeyAction::Press));
            } else if (byte == kCtrlC) {
                out.push_back(simpleEvent(InputEvent::Kind::Interrupt));
            } else if (byte == kCtrlZ) {
                out.push_back(simpleEvent(InputEvent::Kind::Suspend));
            } else if (byte == kCtrlBackslash) {
                out.push_back(simpleEvent(InputEvent::Kind::Quit));
            }
            // Every other byte (letters, UTF-8 text, other control characters) is not a game key.
            return;

        case State::Escape:
            switch (byte) {
                case '[':
                    startSequence(State::Csi);
                    return;
                case 'O':
                    startSequence(State::Ss3);
                    return;
                case ']':
                    startSequence(State::String);
                    oscString_ = true;
                    return;
                case 'P':  // DCS
                case 'X':  // SOS
                case '^':  // PM
                case '_':  // APC
                    startSequence(State::String);
                    oscString_ = false;
                    return;
                case kEsc:
                    return;  // the first ESC was a lone ESC key
                default:
                    // ESC followed by anything else is Alt with a key, or a sequence we do not
                    // know: it is consumed whole.
                    state_ = State::Ground;
                    return;
            }

        case State::Csi:
        case State::Ss3:
            if (byte >= 0x30 && byte <= 0x3F) {
                collectParam(byte);
            } else if (byte >= 0x20 && byte <= 0x2F) {
                intermediate_ = true;
            } else if (byte >= 0x40 && byte <= 0x7E) {
                const State was = state_;
                state_ = State::Ground;
                if (was == State::Csi) {
                    finishCsi(byte, out);
                } else {
                    finishSs3(byte, out);
                }
            } else if (byte == kEsc) {
                startSequence(State::Escape);
            } else if (byte == kCan || byte == kSub || byte >= 0x80) {
                state_ = State::Ground;
            } else if (byte == '\r' || byte == '\n') {
                // Control characters inside a sequence take effect without ending it.
                out.push_back(keyEvent(Key::Enter, KeyAction::Press));
            }
            return;

        case State::String:
            if (byte == kEsc) {
                state_ = State::StringEscape;
            } else if ((byte == kBel && oscString_) || byte == kCan || byte == kSub) {
                state_ = State::Ground;
            }
            return;

        case State::StringEscape:
            if (byte == '\\') {
                state_ = State::Ground;
            } else {
                // An ESC that is not the string terminator ends the string and starts anew.
                startSequence(State::Escape);
                step(byte, out);
            }
            return;

        case State::MouseBytes:
            if (--mouseBytesLeft_ <= 0) state_ = State::Ground;
            return;

        case State::Paste:
            stepPaste(byte);
            return;
    }
}

void KeyDecoder::collectParam(unsigned char byte) {
    if (byte >= '<' && byte <= '?') {
        // A private marker is only one when it leads the parameters.
        if (paramCount_ == 0 && privateMarker_ == 0) {
            privateMarker_ = byte;
        } else {
            intermediate_ = true;
        }
        return;
    }
    if (paramCount_ == 0) {
        paramCount_ = 1;
        params_[0].fill(-1);
    }
    if (byte == ';') {
        if (paramCount_ < kMaxParams) params_[paramCount_].fill(-1);
        ++paramCount_;
        subIndex_ = 0;
        return;
    }
    if (byte == ':') {
        ++subIndex_;
        return;
    }
    // A digit. Parameters and sub-parameters past those we keep are read and dropped.
    if (paramCount_ > kMaxParams || subIndex_ >= kMaxSubParams) return;
    int& value = params_[paramCount_ - 1][subIndex_];
    const int digit = byte - '0';
    value = value < 0 ? digit : value * 10 + digit;
    if (value > kParamLimit) value = kParamLimit;
}

int KeyDecoder::param(std::size_t index, std::size_t sub, int absent) const {
    if (index >= paramCount_ || index >= kMaxParams) return absent;
    const int value = params_[index][sub];
    return value < 0 ? absent : value;
}

void KeyDecoder::finishCsi(unsigned char final, std::vector<InputEvent>& out) {
    if (intermediate_) return;

    if (privateMarker_ == '?') {
        if (final == 'u')
            out.push_back(simpleEvent(InputEvent::Kind::KeyboardFlags, param(0, 0, 0)));
        if (final == 'c') out.push_back(simpleEvent(InputEvent::Kind::DeviceAttributes));
        return;
    }
    // Other private sequences (mouse reports in SGR form among them) carry no game key.
    if (privateMarker_ != 0) return;

    if (final == '_') {
        finishWin32Record(out);
        return;
    }
    if (final == 'O' && paramCount_ == 0) {
        out.push_back(simpleEvent(InputEvent::Kind::FocusLost));
        return;
    }

    // A legacy mouse report: CSI M and three raw bytes, which may be any value.
    if (final == 'M' && paramCount_ == 0) {
        state_ = State::MouseBytes;
        mouseBytesLeft_ = 3;
        return;
    }

    const int modifiers = param(1, 0, 1);
    KeyAction action;
    if (!keyAction(param(1, 1, 1), action)) return;

    Key arrow;
    if (arrowKey(final, arrow)) {
        // Arrows with modifiers still count: the key is down whatever else is held.
        if (param(0, 0, 1) == 1) out.push_back(keyEvent(arrow, action));
        return;
    }
    if (final == 'u') {
        const int code = param(0, 0, -1);
        if (code == kCodeEnter || code == kCodeKeypadEnter) {
            out.push_back(keyEvent(Key::Enter, action));
            return;
        }
        // With the keyboard protocol the terminal reports these keys instead of raising signals.
        const bool ctrl = ((modifiers - 1) & kModifierCtrl) != 0;
        if (!ctrl || action != KeyAction::Press) return;
        if (code == kCodeLetterC) out.push_back(simpleEvent(InputEvent::Kind::Interrupt));
        if (code == kCodeLetterZ) out.push_back(simpleEvent(InputEvent::Kind::Suspend));
        if (code == kCodeBackslash) out.push_back(simpleEvent(InputEvent::Kind::Quit));
        return;
    }
    if (final == '~' && param(0, 0, 0) == 200) {
        state_ = State::Paste;
        pasteEndMatched_ = 0;
        pasteStartMs_ = lastByteMs_;
    }
}

void KeyDecoder::finishSs3(unsigned char final, std::vector<InputEvent>& out) {
    if (intermediate_ || privateMarker_ != 0) return;
    Key arrow;
    if (arrowKey(final, arrow)) {
        out.push_back(keyEvent(arrow, KeyAction::Press));
    } else if (final == 'M') {
        out.push_back(keyEvent(Key::Enter, KeyAction::Press));  // keypad Enter
    }
}

// CSI Vk ; Sc ; Uc ; Kd ; Cs ; Rc _ : virtual-key code, scan code, character, 1 for down and 0
// for up, control-key state, repeat count. Omitted fields are 0.
void KeyDecoder::finishWin32Record(std::vector<InputEvent>& out) {
    if (!win32Seen_) {
        win32Seen_ = true;
        out.push_back(simpleEvent(InputEvent::Kind::Win32Input));
    }
    const int vk = param(0, 0, 0);
    const int character = param(2, 0, 0);
    const KeyAction action = param(3, 0, 0) == 1 ? KeyAction::Press : KeyAction::Release;
    const int state = param(4, 0, 0);
    if (const auto key = gameKeyFor(vk)) {
        out.push_back(keyEvent(*key, action));
        return;
    }
    // In this mode the control keys arrive as records instead of raising their signals.
    if (action != KeyAction::Press) return;
    const bool ctrl = (state & kStateCtrl) != 0 && (state & kStateAlt) == 0;  // not AltGr
    if (character == kCharCtrlC || (ctrl && vk == kVkLetterC)) {
        out.push_back(simpleEvent(InputEvent::Kind::Interrupt));
    } else if (character == kCharCtrlZ || (ctrl && vk == kVkLetterZ)) {
        out.push_back(simpleEvent(InputEvent::Kind::Suspend));
    } else if (character == kCharCtrlBackslash || (ctrl && vk == kVkBackslash)) {
        out.push_back(simpleEvent(InputEvent::Kind::Quit));
    }
}

void KeyDecoder::stepPaste(unsigned char byte) {
    if (byte == kPasteEnd[pasteEndMatched_]) {
        if (++pasteEndMatched_ == sizeof kPasteEnd) {
            state_ = State::Ground;
            pasteEndMatched_ = 0;
        }
    } else {
        pasteEndMatched_ = byte == kEsc ? 1 : 0;
    }
}
