// Turns the bytes a terminal sends into the few events the game cares about.
//
// Game keys are the four arrows and Enter, in every form terminals send them: normal and
// application cursor-key mode, with modifier parameters, the kitty keyboard protocol's reports
// with press, repeat and release events, and the key-down and key-up records of the win32 input
// mode. Replies to the start-up queries (keyboard protocol flags, device attributes) are events
// too, and so are focus loss and the control keys that the keyboard protocols turn into reports
// instead of signals (and those keys' own control bytes, which arrive where the terminal does not
// raise the signals itself). Everything else (other keys, mouse reports, pasted text, unknown
// control sequences and strings, UTF-8 text, a lone ESC) is consumed and yields nothing.
//
// The decoder is fed whatever each read returned; a sequence split across reads decodes exactly
// as if it had come in one piece. A sequence left unfinished for longer than a short timeout is
// dropped, so a lone ESC key followed later by typing is never taken for an escape sequence.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "console/console_primitives.h"
#include "console/key_state.h"

struct InputEvent {
    enum class Kind : std::uint8_t {
        Key,               // `key` had `action`
        KeyboardFlags,     // the terminal reported its keyboard protocol flags: `value`
        DeviceAttributes,  // the terminal answered the primary device attributes query
        Interrupt,         // Ctrl-C reported as a key or byte: the program should act as on SIGINT
        Suspend,           // Ctrl-Z reported as a key or byte: SIGTSTP
        Quit,              // Ctrl-\ reported as a key or byte: SIGQUIT
        Win32Input,        // the first win32 input record: from now on every key reports releases
        FocusLost,         // the terminal's window lost the keyboard focus
    };
    Kind kind = Kind::Key;
    Key key = Key::Enter;
    KeyAction action = KeyAction::Press;
    int value = 0;

    friend bool operator==(const InputEvent&, const InputEvent&) = default;
};

class KeyDecoder {
public:
    // How long an unfinished escape sequence may wait for its next byte.
    static constexpr long long kSequenceTimeoutMs = 60;
    // How long after its start a bracketed paste is taken as ended without its end mark.
    static constexpr long long kPasteTimeoutMs = 1000;

    // Decodes `size` bytes read at time `nowMs` (any monotonic millisecond clock), appending the
    // events they complete to `out`.
    void feed(const unsigned char* data, std::size_t size, long long nowMs,
              std::vector<InputEvent>& out);

    // Forgets any partly read sequence (used when pending input is thrown away).
    void reset();

    // True while a sequence has been started but not finished.
    bool midSequence() const { return state_ != State::Ground; }

private:
    enum class State : std::uint8_t {
        Ground,
        Escape,        // after ESC
        Csi,           // ESC [ parameters...
        Ss3,           // ESC O parameters...
        String,        // OSC, DCS, SOS, PM, APC: skipped up to ST (or BEL for OSC)
        StringEscape,  // ESC seen inside a string: ST if followed by '\'
        MouseBytes,    // the three raw bytes of a legacy mouse report
        Paste,         // inside a bracketed paste
    };

    static constexpr std::size_t kMaxParams = 8;
    static constexpr std::size_t kMaxSubParams = 4;
    using Param = std::array<int, kMaxSubParams>;  // -1 marks an absent (sub-)parameter

    void step(unsigned char byte, std::vector<InputEvent>& out);
    void startSequence(State state);
    void collectParam(unsigned char byte);
    void finishCsi(unsigned char final, std::vector<InputEvent>& out);
    void finishSs3(unsigned char final, std::vector<InputEvent>& out);
    void finishWin32Record(std::vector<InputEvent>& out);
    void stepPaste(unsigned char byte);
    int param(std::size_t index, std::size_t sub, int absent) const;

    State state_ = State::Ground;
    long long lastByteMs_ = 0;

    // Parameters of the sequence being read.
    std::array<Param, kMaxParams> params_{};
    std::size_t paramCount_ = 0;
    std::size_t subIndex_ = 0;
    unsigned char privateMarker_ = 0;  // '<', '=', '>' or '?' before the parameters, or 0
    bool intermediate_ = false;        // an intermediate byte makes the sequence one we ignore
    bool oscString_ = false;           // BEL also ends the string (OSC only)

    bool win32Seen_ = false;  // a win32 input record came: reported once
    int mouseBytesLeft_ = 0;
    std::size_t pasteEndMatched_ = 0;  // how much of the paste's end mark has been seen
    long long pasteStartMs_ = 0;
};
