#include "console/terminal/key_decoder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using Kind = InputEvent::Kind;
using Events = std::vector<InputEvent>;
constexpr auto kRepeat = KeyAction::Repeat;
constexpr auto kRelease = KeyAction::Release;

InputEvent key(Key k, KeyAction action = KeyAction::Press) {
    return {.kind = Kind::Key, .key = k, .action = action};
}

InputEvent other(Kind kind, int value = 0) {
    return {.kind = kind, .value = value};
}

void feed(KeyDecoder& decoder, const std::string& bytes, Events& out, long long nowMs = 0) {
    decoder.feed(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), nowMs, out);
}

Events decode(KeyDecoder& decoder, const std::string& bytes, long long nowMs = 0) {
    Events events;
    feed(decoder, bytes, events, nowMs);
    return events;
}

const struct {
    std::string bytes;
    Events events;
} kCases[] = {
    // Arrows in normal and application cursor-key mode, with modifiers; Enter in its forms.
    {"\x1b[A\x1b[B\x1b[C\x1b[D", {key(Key::Up), key(Key::Down), key(Key::Right), key(Key::Left)}},
    {"\x1bOA\x1bOB\x1bOC\x1bOD\x1bOM",
     {key(Key::Up), key(Key::Down), key(Key::Right), key(Key::Left), key(Key::Enter)}},
    {"\x1b[1;5A\x1b[1;2D\x1b[;3B\r\n",
     {key(Key::Up), key(Key::Left), key(Key::Down), key(Key::Enter), key(Key::Enter)}},
    // Keyboard protocol reports with event types, replies to the queries, control keys.
    {"\x1b[1;1:1A\x1b[1;1:2C\x1b[1;1:3A\x1b[1;5:3D",
     {key(Key::Up), key(Key::Right, kRepeat), key(Key::Up, kRelease), key(Key::Left, kRelease)}},
    {"\x1b[13u\x1b[13;1:2u\x1b[13;1:3u\x1b[57414;1:3u",
     {key(Key::Enter), key(Key::Enter, kRepeat), key(Key::Enter, kRelease),
      key(Key::Enter, kRelease)}},
    {"\x1b[?11u\x1b[?62;22c\x1b[?0u",
     {other(Kind::KeyboardFlags, 11), other(Kind::DeviceAttributes), other(Kind::KeyboardFlags)}},
    {"\x1b[99;5u\x1b[122;5u\x1b[92;5u\x1b[99;69u\x1b[99;5:3u\x1b[99u\x1b[99;3u",
     {other(Kind::Interrupt), other(Kind::Suspend), other(Kind::Quit), other(Kind::Interrupt)}},
    // Other keys, letters, UTF-8, mouse reports, strings, unknown or cancelled sequences and
    // pastes are consumed without a key, and the game keys around them still come through.
    {"\x1b[5~\x1b[1;5P\x1b[15;2~\x1bOP\x1b[3u\x1b[27u\x1b"
     "ax\xc3\xa9\xe2\x95\x94\x1b\x1b[A",
     {key(Key::Up)}},
    {"\x1b[<0;10;20M\x1b[<0;10;20m\x1b[M \r\n\x1b[32;5;5M\x1b]0;title\x07\x1b]11;rgb:0/0/0\x1b\\"
     "\x1bP1$r0m\x1b\\\x1b_Gi=1\x1b\\\r",
     {key(Key::Enter)}},
    {"\x1b[2J\x1b[?1049h\x1b[1 q\x1b[1\x18\x1b[\x1a\x1b[200~line\r\n\x1b[A\x1b[201x\x1b\x1b[201~"
     "\x1b[B",
     {key(Key::Down)}},
};

TEST(KeyDecoder, DecodesEverySequenceTheSameHoweverTheReadsSplitIt) {
    for (const auto& c : kCases) {
        SCOPED_TRACE(::testing::PrintToString(c.bytes));
        for (std::size_t split = 0; split <= c.bytes.size(); ++split) {
            KeyDecoder decoder;
            Events events = decode(decoder, c.bytes.substr(0, split));
            feed(decoder, c.bytes.substr(split), events);
            EXPECT_EQ(events, c.events) << "split at " << split;
        }
        KeyDecoder decoder;
        Events events;
        for (const char byte : c.bytes) feed(decoder, std::string(1, byte), events);
        EXPECT_EQ(events, c.events) << "byte by byte";
    }
}

TEST(KeyDecoder, UnfinishedSequencesAreDroppedAfterTheirTimeout) {
    // Typed after the timeout, "[A" and "OA" are letters, not the rest of an arrow.
    constexpr long long kLate = KeyDecoder::kSequenceTimeoutMs + 1;
    KeyDecoder decoder;
    EXPECT_TRUE(decode(decoder, "\x1b", 0).empty());
    EXPECT_TRUE(decode(decoder, "[A", kLate).empty());
    EXPECT_TRUE(decode(decoder, "\x1b", 1000).empty());
    EXPECT_TRUE(decode(decoder, "OA", 1000 + kLate).empty());
    // Pieces that come within the timeout of each other are still one key.
    EXPECT_TRUE(decode(decoder, "\x1b", 2000).empty());
    EXPECT_TRUE(decode(decoder, "[1;", 2000 + kLate - 1).empty());
    EXPECT_EQ(decode(decoder, "5B", 2000 + 2 * (kLate - 1)), Events{key(Key::Down)});
    // A paste without its end mark ends when the input goes quiet.
    EXPECT_TRUE(decode(decoder, "\x1b[200~text\r", 3000).empty());
    EXPECT_TRUE(decode(decoder, "more\r", 3000 + KeyDecoder::kPasteTimeoutMs).empty());
    EXPECT_EQ(decode(decoder, "\r", 3000 + 3 * KeyDecoder::kPasteTimeoutMs),
              Events{key(Key::Enter)});
}

TEST(KeyDecoder, LongPastesAndGarbageYieldNoKeyAndLeaveTheDecoderWorking) {
    std::mt19937 random(20240611);
    std::string paste = "\x1b[200~";
    for (int i = 1; i <= 200'000; ++i)
        paste += i % 80 ? static_cast<char>(random() % 96 + 32) : '\r';
    std::string longCsi = "\x1b[";
    for (int i = 0; i < 10'000; ++i) longCsi += "99999999999:1;";
    KeyDecoder decoder;
    EXPECT_TRUE(decode(decoder, paste + "\x1b[201~").empty());
    EXPECT_TRUE(decode(decoder, longCsi + "u\x1b[99999999999999999999;1:3A").empty());
    EXPECT_EQ(decode(decoder, "\x1b[B"), Events{key(Key::Down)});

    // Random bytes may form keys by chance, but after a quiet moment the decoder reads cleanly.
    std::string garbage(1 << 20, '\0');
    for (char& c : garbage) c = static_cast<char>(random());
    decode(decoder, garbage, 0);
    EXPECT_EQ(decode(decoder, "\x1b[C", 1000), Events{key(Key::Right)});
}

}  // namespace
