// The console primitives, once for every platform: the game draws into the picture, and the
// linked backend shows it at the moments shadow_console.h lists.

#include "console/shadow_console.h"

#include <bitset>
#include <charconv>
#include <cstdint>
#include <string>
#include <utility>

#include "console/console_backend.h"
#include "console/console_primitives.h"
#include "console/cp437.h"
#include "console/plain_output.h"
#include "console/screen_model.h"

namespace {

constexpr long long kFrameUs = 16'000;
// Long enough that a pass held up by a busy machine is not shown half drawn.
constexpr long long kSafetyNetUs = 100'000;
constexpr int kSafetyNetStride = 256;  // drawing calls between two looks at the clock
constexpr long long kTypewriterLetterUs = 10'000;
constexpr unsigned char kTypewriterBlock = 0xDB;

struct Console {
    bool started = false;
    backend::Output output = backend::Output::Screen;
    ScreenModel picture;
    KeyState keys;
    // By virtual-key code: the keys this pass has polled, and the taps those polls have seen.
    std::bitset<256> polledThisPass;
    std::bitset<256> seenThisPass;
    bool clearedSinceSweep = false;
    long long waitEndUs = 0;  // when the last wait ended: a sweep's frame counts from there
    long long settledUs = 0;  // the last presentation or the end of the last wait
    long long turnUs = 0;     // when the platform last had a turn
    int callsSinceClockCheck = 0;
};

Console console;

bool plain() {
    return console.output != backend::Output::Screen;
}

bool ensureStarted() {
    if (!console.started) {
        console.started = true;
        console.output = backend::start();
        const long long now = backend::nowUs();
        console.waitEndUs = now - kFrameUs;  // the first sweep need not wait
        console.settledUs = console.turnUs = now;
    }
    return !plain();
}

// Shows the picture; true when the screen did not show it already.
bool presentNow() {
    bool changed = false;
    if (plain()) {
        plainoutput::flush();
    } else {
        changed = backend::present(console.picture);
    }
    console.settledUs = backend::nowUs();
    return changed;
}

void waited() {
    console.waitEndUs = console.settledUs = console.turnUs = backend::nowUs();
}

void waitUntil(long long deadlineUs, backend::Sleep kind) {
    backend::sleepUntil(deadlineUs, kind);
    waited();
}

void yieldTurn() {
    backend::giveTurn();
    console.turnUs = backend::nowUs();
}

void beginPass() {
    console.polledThisPass.reset();
    console.seenThisPass.reset();
}

// Whether a key that this pass polled reads as pressed: the next pass must come at once to see
// it. A key the loop never polls (an arrow on an end screen) does not keep it awake.
bool polledKeyDown() {
    const long long now = monotonicMs();
    for (const Key key : kGameKeys) {
        if (console.polledThisPass.test(static_cast<std::uint8_t>(key)) &&
            console.keys.keyDown(key, now))
            return true;
    }
    return false;
}

// A sweep over the whole picture begins: the previous pass stands complete. It is shown a frame
// after the last wait ended, so passes run at most one a frame while a slow pass runs on at once;
// the pass after it polls the keys right after the picture changed. When the pass changed
// nothing and no key it polled was down, at its end or during the frame, the wait goes on until
// input comes. A key that was down at the end of the pass gets one more pass, which sees it let
// go: the menu tells a new press from a held key by whether the pass before saw it pressed. The
// frame after a wait for input starts when the input came, so the pass that reads a key and the
// next one stay a frame apart, as a tap's moment of being down expects.
void sweepBoundary() {
    if (plain()) {
        beginPass();
        plainoutput::endSweep();
        waitUntil(console.waitEndUs + kFrameUs, backend::Sleep::Frame);
        return;
    }
    if (std::exchange(console.clearedSinceSweep, false)) {
        beginPass();
        return;
    }
    const bool keyDownAtEnd = polledKeyDown();
    waitUntil(console.waitEndUs + kFrameUs, backend::Sleep::Frame);
    const bool changed = presentNow();
    const bool keyDown = keyDownAtEnd || polledKeyDown();
    beginPass();
    if (!changed && !keyDown) {
        backend::sleepUntilInput();
        waited();
    }
}

// Counts one drawing call. Every so often: output that has waited too long is shown, and the
// platform that needs turns gets one.
void afterDrawing() {
    if (++console.callsSinceClockCheck < kSafetyNetStride) return;
    console.callsSinceClockCheck = 0;
    if (plain()) return;
    const long long now = backend::nowUs();
    if (now - console.settledUs >= kSafetyNetUs) presentNow();
    if (now - console.turnUs >= kFrameUs) yieldTurn();
}

// Plain text carries the glyphs in the form the output can take.
void writePlain(unsigned char byte) {
    std::string bytes;
    if (byte < 0x80 || console.output == backend::Output::PlainBytes) {
        bytes += static_cast<char>(byte);
    } else if (console.output == backend::Output::PlainUtf8) {
        appendUtf8(bytes, cp437ToUnicode(byte));
    } else {
        bytes += cp437ToAscii(byte);
    }
    for (const char c : bytes) plainoutput::write(static_cast<unsigned char>(c));
}

void write(unsigned char byte) {
    if (plain()) {
        writePlain(byte);
    } else {
        console.picture.write(byte);
    }
}

void write(const char* text) {
    for (; *text != '\0'; ++text) write(static_cast<unsigned char>(*text));
}

}  // namespace

namespace shadow {

KeyState& keys() {
    return console.keys;
}

void forgetKeys() {
    console.keys.clear();
    beginPass();
}

void present() {
    ensureStarted();
    presentNow();
}

void screenReturned() {
    forgetKeys();
    waited();
}

}  // namespace shadow

void gotoXY(int column, int row) {
    ensureStarted();
    console.picture.moveTo(column, row);
    if (column == 0 && row == 0) {
        sweepBoundary();
    } else {
        afterDrawing();
    }
}

void setColor(Colour attribute) {
    ensureStarted();
    console.picture.setAttr(attribute);
}

void clearScreen() {
    ensureStarted();
    console.picture.clear();
    console.clearedSinceSweep = true;
}

void putGlyph(unsigned char code) {
    ensureStarted();
    write(code);
    afterDrawing();
}

void putText(const char* text) {
    ensureStarted();
    write(text);
    afterDrawing();
}

void putNumber(std::int32_t value) {
    ensureStarted();
    char digits[16];
    *std::to_chars(digits, digits + sizeof digits - 1, value).ptr = '\0';
    write(digits);
    afterDrawing();
}

// Each character is followed by a full block as a cursor, shown for 10 ms, then erased with
// backspace, space, backspace, which leaves the cursor where the next character goes.
void typeText(const char* text) {
    ensureStarted();
    for (; *text != '\0'; ++text) {
        write(static_cast<unsigned char>(*text));
        write(kTypewriterBlock);
        presentNow();
        beginPass();
        waitUntil(backend::nowUs() + kTypewriterLetterUs, backend::Sleep::Pause);
        write("\b \b");
    }
}

void hideCursor() {
    if (ensureStarted()) backend::hideCursor();
}

void pauseMs(int ms) {
    ensureStarted();
    presentNow();
    beginPass();
    if (ms > 0) {
        waitUntil(backend::nowUs() + static_cast<long long>(ms) * 1000, backend::Sleep::Pause);
    } else {
        yieldTurn();
    }
}

long long monotonicMs() {
    return backend::nowUs() / 1000;
}

bool keyPressed(Key key) {
    if (!ensureStarted()) return false;
    if (backend::nowUs() - console.turnUs >= kFrameUs) yieldTurn();
    backend::readInput();
    const auto code = static_cast<std::uint8_t>(key);
    console.polledThisPass.set(code);
    if (console.keys.query(key, monotonicMs())) console.seenThisPass.set(code);
    return console.seenThisPass.test(code);
}
