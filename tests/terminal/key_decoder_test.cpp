#include "console/terminal/key_decoder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using enum Key;
using enum KeyAction;
using Kind = InputEvent::Kind;
using Events = std::vector<InputEvent>;

const auto key = [](Key k, KeyAction a = Press) { return InputEvent{.key = k, .action = a}; };
const auto other = [](Kind k, int value = 0) { return InputEvent{.kind = k, .value = value}; };

// Feeds `bytes` read at `nowMs`; returns `out` with the events they complete appended.
Events feed(KeyDecoder& decoder, const std::string& bytes, long long nowMs = 0, Events out = {}) {
    decoder.feed(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), nowMs, out);
    return out;
}

const struct {
    std::string bytes;
    Events events;
} kCases[] = {
    // Arrows in normal and application cursor-key mode, with modifiers; Enter in its forms.
    {"\x1b[A\x1b[B\x1b[C\x1b[D", {key(Up), key(Down), key(Right), key(Left)}},
    {"\x1bOA\x1bOB\x1bOC\x1bOD\x1bOM", {key(Up), key(Down), key(Right), key(Left), key(Enter)}},
    {"\x1b[1;5A\x1b[1;2D\x1b[;3B\r\n", {key(Up), key(Left), key(Down), key(Enter), key(Enter)}},
    // Keyboard protocol reports with event types, replies to the queries, control keys.
    {"\x1b[1;1:1A\x1b[1;1:2C\x1b[1;1:3A\x1b[1;5:3D",
     {key(Up), key(Right, Repeat), key(Up, Release), key(Left, Release)}},
    {"\x1b[13u\x1b[13;1:2u\x1b[13;1:3u\x1b[57414;1:3u",
     {key(Enter), key(Enter, Repeat), key(Enter, Release), key(Enter, Release)}},
    {"\x1b[?11u\x1b[?62;22c\x1b[?0u",
     {other(Kind::KeyboardFlags, 11), other(Kind::DeviceAttributes), other(Kind::KeyboardFlags)}},
    {"\x1b[99;5u\x1b[122;5u\x1b[92;5u\x1b[99;69u\x1b[99;5:3u\x1b[99u\x1b[99;3u",
     {other(Kind::Interrupt), other(Kind::Suspend), other(Kind::Quit), other(Kind::Interrupt)}},
    // The same keys as bytes, from a terminal that raises no signals for them.
    {"c\x03z\x1a\x1c", {other(Kind::Interrupt), other(Kind::Suspend), other(Kind::Quit)}},
    // Win32 input records: the first one announces the mode; key downs and ups of the game keys
    // (an auto-repeat is another down), other keys ignored, omitted fields taken as 0.
    {"\x1b[40;80;0;1;0;1_\x1b[40;80;0;1;0;2_\x1b[40;80;0;0;0;1_\x1b[13;28;13;1;0;1_"
     "\x1b[65;30;97;1;0;1_\x1b[37;;;1_\x1b[37_\x1b[_",
     {other(Kind::Win32Input), key(Down), key(Down), key(Down, Release), key(Enter), key(Left),
      key(Left, Release)}},
    // Their control keys by character or by Ctrl with the letter; AltGr (Ctrl and Alt) types a
    // character instead; releases and the Ctrl key itself do nothing. Focus loss is reported.
    {"\x1b[17;29;0;1;8;1_\x1b[67;46;3;1;8;1_\x1b[90;44;0;1;4;1_\x1b[220;43;28;1;8;1_"
     "\x1b[67;46;169;1;10;1_\x1b[67;46;3;0;8;1_\x1b[I\x1b[O",
     {other(Kind::Win32Input), other(Kind::Interrupt), other(Kind::Suspend), other(Kind::Quit),
      other(Kind::FocusLost)}},
    // Other keys, letters, UTF-8, mouse reports, strings, unknown or cancelled sequences and
    // pastes are consumed without a key, and the game keys around them still come through.
    {"\x1b[5~\x1b[1;5P\x1b[15;2~\x1bOP\x1b[3u\x1b[27u\x1b"
     "ax\xc3\xa9\xe2\x95\x94\x1b\x1b[A\x1b[<0;10;20M\x1b[<0;10;20m\x1b[M \r\n\x1b[32;5;5M"
     "\x1b]0;title\x07\x1b]11;rgb:0/0/0\x1b\\\x1bP1$r0m\x1b\\\x1b_Gi=1\x1b\\\r\x1b[2J\x1b[?1049h"
     "\x1b[1 q\x1b[1\x18\x1b[\x1a\x1b[200~line\r\n\x1b[A\x1b[201x\x1b\x1b[201~\x1b[B",
     {key(Up), key(Enter), key(Down)}},
};

// Reads cut into more pieces, down to single bytes, are left to the fuzzer, which compares them
// with whole reads.
TEST(KeyDecoder, DecodesEverySequenceTheSameHoweverTheReadsSplitIt) {
    for (const auto& c : kCases) {
        SCOPED_TRACE(::testing::PrintToString(c.bytes));
        for (std::size_t split = 0; split <= c.bytes.size(); ++split) {
            KeyDecoder decoder;
            const Events first = feed(decoder, c.bytes.substr(0, split));
            EXPECT_EQ(feed(decoder, c.bytes.substr(split), 0, first), c.events) << split;
        }
    }
}

TEST(KeyDecoder, UnfinishedSequencesAreDroppedAfterTheirTimeout) {
    constexpr long long kLate = KeyDecoder::kSequenceTimeoutMs + 1;
    KeyDecoder decoder;
    Events events;
    long long now = 0;
    const auto read = [&](const char* bytes, long long afterMs) {
        events = feed(decoder, bytes, now += afterMs, events);
    };
    // Typed after the timeout, "[A" and "OA" are letters, not the rest of an arrow; pieces that
    // come within the timeout of each other are still one key.
    for (const char* bytes : {"\x1b", "[A", "\x1b", "OA"}) read(bytes, kLate);
    for (const char* bytes : {"\x1b", "[1;", "5B"}) read(bytes, kLate - 1);
    // A paste without its end mark ends a moment after it began, however busy the input stays.
    read("\x1b[200~text\r", 0), read("more\r", KeyDecoder::kPasteTimeoutMs / 2);
    read("\r", KeyDecoder::kPasteTimeoutMs / 2 + 1);
    EXPECT_EQ(events, (Events{key(Down), key(Enter)}));
}

TEST(KeyDecoder, LongPastesAndGarbageYieldNoKeyAndLeaveTheDecoderWorking) {
    std::mt19937 random(20240611);
    std::string paste = "\x1b[200~", longCsi = "\x1b[";
    for (int i = 1; i <= 200'000; ++i)
        paste += i % 80 ? static_cast<char>(random() % 96 + 32) : '\r';
    for (int i = 0; i < 10'000; ++i) longCsi += "99999999999:1;";
    KeyDecoder decoder;
    EXPECT_TRUE(feed(decoder, paste + "\x1b[201~").empty());
    EXPECT_TRUE(feed(decoder, longCsi + "u\x1b[99999999999999999999;1:3A").empty());
    EXPECT_EQ(feed(decoder, "\x1b[B"), Events{key(Down)});

    // Random bytes may form keys by chance, but after a quiet moment the decoder reads cleanly.
    std::string garbage(1 << 20, '\0');
    for (char& c : garbage) c = static_cast<char>(random());
    feed(decoder, garbage);
    EXPECT_EQ(feed(decoder, "\x1b[C", 1000), Events{key(Right)});
}

}  // namespace
