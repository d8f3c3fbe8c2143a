// Fuzzes the key decoder and the key state with arbitrary terminal input.
//
// Input layout: byte 0 chooses how the rest is cut into reads (1 to 16 bytes each), byte 1 the
// quiet time between reads (0 to 255 ms, so sequence and paste timeouts are crossed too) and
// whether releases are reported or the keyboard is asked which keys are down; the rest is what
// the terminal sent. Besides the sanitizers' findings, the decoder must give the
// same events however the bytes are cut into reads, as long as no timeout passes between them.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "console/key_state.h"
#include "console/terminal/key_decoder.h"

namespace {

std::vector<InputEvent> decodeInReads(const std::uint8_t* data, std::size_t size,
                                      std::size_t readSize, long long gapMs, KeyState* keys) {
    KeyDecoder decoder;
    std::vector<InputEvent> events;
    long long now = 0;
    for (std::size_t at = 0; at < size; at += readSize) {
        const std::size_t count = at + readSize <= size ? readSize : size - at;
        const std::size_t before = events.size();
        decoder.feed(data + at, count, now, events);
        if (keys != nullptr) {
            for (std::size_t i = before; i < events.size(); ++i) {
                if (events[i].kind == InputEvent::Kind::Key)
                    keys->apply(events[i].key, events[i].action, now);
            }
            // The keyboard's word, where it is asked, from the bytes themselves.
            int bit = 0;
            for (const Key key : {Key::Up, Key::Down, Key::Left, Key::Right, Key::Enter}) {
                if (keys->wantsKeyboardView())
                    keys->applyKeyboardView(key, (data[at] >> bit++) & 1);
                keys->query(key, now);
            }
            if (keys->keyboardBlind()) keys->setKeyboardView(false);
        }
        now += gapMs;
    }
    return events;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::size_t readSize = data[0] % 16 + 1;
    const long long gapMs = data[1];
    data += 2;
    size -= 2;

    const std::vector<InputEvent> whole =
        decodeInReads(data, size, size == 0 ? 1 : size, 0, nullptr);
    const std::vector<InputEvent> split = decodeInReads(data, size, readSize, 0, nullptr);
    if (whole != split) std::abort();

    KeyState keys;
    keys.setReleasesReported(gapMs % 2 == 0, gapMs % 4 == 0);
    keys.setKeyboardView(gapMs % 3 == 0);
    decodeInReads(data, size, readSize, gapMs, &keys);
    return 0;
}
