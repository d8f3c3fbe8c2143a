#include "console/terminal/key_decoder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using Kind = InputEvent::Kind;

InputEvent key(Key k, KeyAction action = KeyAction::Press) {
    InputEvent event;
    event.key = k;
    event.action = action;
    return event;
}

InputEvent other(Kind kind, int value = 0) {
    InputEvent event;
    event.kind = kind;
    event.value = value;
    return event;
}

std::vector<InputEvent> decode(KeyDecoder& decoder, const std::string& bytes, long long nowMs = 0) {
    std::vector<InputEvent> events;
    decoder.feed(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), nowMs, events);
    return events;
}

std::vector<InputEvent> decode(const std::string& bytes) {
    KeyDecoder decoder;
    return decode(decoder, bytes);
}

struct Case {
    const char* name;
    std::string bytes;
    std::vector<InputEvent> events;
};

const std::vector<Case>& cases() {
    static const std::vector<Case> all = {
        // Cursor keys in normal and application mode, with and without modifiers.
        {"csi arrows",
         "\x1b[A\x1b[B\x1b[C\x1b[D",
         {key(Key::Up), key(Key::Down), key(Key::Right), key(Key::Left)}},
        {"ss3 arrows",
         "\x1bOA\x1bOB\x1bOC\x1bOD",
         {key(Key::Up), key(Key::Down), key(Key::Right), key(Key::Left)}},
        {"modified arrows",
         "\x1b[1;5A\x1b[1;2D\x1b[;3B",
         {key(Key::Up), key(Key::Left), key(Key::Down)}},
        {"enter as cr and lf", "\r\n", {key(Key::Enter), key(Key::Enter)}},
        {"keypad enter", "\x1bOM", {key(Key::Enter)}},
        // Keyboard protocol reports with event types.
        {"reported arrow events",
         "\x1b[1;1:1A\x1b[1;1:2C\x1b[1;1:3A\x1b[1;5:3D",
         {key(Key::Up), key(Key::Right, KeyAction::Repeat), key(Key::Up, KeyAction::Release),
          key(Key::Left, KeyAction::Release)}},
        {"reported enter events",
         "\x1b[13u\x1b[13;1:2u\x1b[13;1:3u\x1b[57414;1:3u",
         {key(Key::Enter), key(Key::Enter, KeyAction::Repeat), key(Key::Enter, KeyAction::Release),
          key(Key::Enter, KeyAction::Release)}},
        {"protocol replies",
         "\x1b[?11u\x1b[?62;22c\x1b[?0u",
         {other(Kind::KeyboardFlags, 11), other(Kind::DeviceAttributes),
          other(Kind::KeyboardFlags, 0)}},
        {"control keys reported as keys",
         "\x1b[99;5u\x1b[122;5u\x1b[92;5u\x1b[99;69u",
         {other(Kind::Interrupt), other(Kind::Suspend), other(Kind::Quit), other(Kind::Interrupt)}},
        // Consumed without a key.
        {"control key releases and plain letters", "\x1b[99;5:3u\x1b[99u\x1b[99;3u", {}},
        {"other keys", "\x1b[5~\x1b[1;5P\x1b[15;2~\x1bOP\x1b[3u\x1b[27u", {}},
        {"alt with a key, letters, utf-8",
         "\x1b"
         "a"
         "x\xc3\xa9\xe2\x95\x94",
         {}},
        {"mouse reports", "\x1b[<0;10;20M\x1b[<0;10;20m\x1b[M \r\n\x1b[32;5;5M", {}},
        {"strings", "\x1b]0;title\x07\x1b]11;rgb:0/0/0\x1b\\\x1bP1$r0m\x1b\\\x1b_Gi=1\x1b\\", {}},
        {"unknown and cancelled sequences", "\x1b[2J\x1b[?1049h\x1b[1 q\x1b[1\x18\x1b[\x1a", {}},
        {"bracketed paste", "\x1b[200~line\r\n\x1b[A\x1b\x1b[201x\x1b[201~", {}},
        // Game keys around ignored input still come through.
        {"keys around other input",
         "q\x1b[A\x1b]2;t\x07\r\x1b[200~\r\x1b[201~\x1b[B",
         {key(Key::Up), key(Key::Enter), key(Key::Down)}},
        {"escape key before an arrow", "\x1b\x1b[A", {key(Key::Up)}},
    };
    return all;
}

TEST(KeyDecoder, DecodesEverySequenceTheSameHoweverTheReadsSplitIt) {
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(decode(c.bytes), c.events) << "read whole";

        // Two reads, split at every byte boundary.
        for (std::size_t split = 1; split < c.bytes.size(); ++split) {
            KeyDecoder decoder;
            std::vector<InputEvent> events = decode(decoder, c.bytes.substr(0, split));
            const std::vector<InputEvent> rest = decode(decoder, c.bytes.substr(split));
            events.insert(events.end(), rest.begin(), rest.end());
            EXPECT_EQ(events, c.events) << "split at " << split;
        }

        // One byte per read.
        KeyDecoder decoder;
        std::vector<InputEvent> events;
        for (const char byte : c.bytes) {
            const std::vector<InputEvent> more = decode(decoder, std::string(1, byte));
            events.insert(events.end(), more.begin(), more.end());
        }
        EXPECT_EQ(events, c.events) << "byte by byte";
    }
}

TEST(KeyDecoder, LoneEscapeIsDroppedAfterItsTimeout) {
    KeyDecoder late;
    EXPECT_TRUE(decode(late, "\x1b", 0).empty());
    EXPECT_TRUE(late.midSequence());
    // Typed after the timeout, "[A" and "OA" are letters, not the rest of an arrow.
    EXPECT_TRUE(decode(late, "[A", KeyDecoder::kSequenceTimeoutMs + 1).empty());
    EXPECT_TRUE(decode(late, "\x1b", 1000).empty());
    EXPECT_TRUE(decode(late, "OA", 1000 + KeyDecoder::kSequenceTimeoutMs + 1).empty());
    EXPECT_FALSE(late.midSequence());

    // A sequence that arrives in pieces within the timeout is still one key.
    KeyDecoder slow;
    EXPECT_TRUE(decode(slow, "\x1b", 0).empty());
    EXPECT_TRUE(decode(slow, "[1;", KeyDecoder::kSequenceTimeoutMs).empty());
    EXPECT_EQ(decode(slow, "5B", 2 * KeyDecoder::kSequenceTimeoutMs),
              std::vector<InputEvent>{key(Key::Down)});
}

TEST(KeyDecoder, PasteWithoutItsEndMarkEndsWhenTheInputGoesQuiet) {
    KeyDecoder decoder;
    EXPECT_TRUE(decode(decoder, "\x1b[200~text\r", 0).empty());
    EXPECT_TRUE(decode(decoder, "more\r", KeyDecoder::kPasteTimeoutMs).empty());
    EXPECT_EQ(decode(decoder, "\r", 3 * KeyDecoder::kPasteTimeoutMs),
              std::vector<InputEvent>{key(Key::Enter)});
}

TEST(KeyDecoder, LongPastesAndGarbageYieldNoKeyAndLeaveTheDecoderWorking) {
    std::mt19937 random(20240611);
    std::string paste = "\x1b[200~";
    for (int i = 0; i < 200'000; ++i) {
        const char c = static_cast<char>(random() % 96 + 32);
        paste += (i % 80 == 79) ? '\r' : c;
    }
    paste += "\x1b[201~";
    KeyDecoder decoder;
    EXPECT_TRUE(decode(decoder, paste).empty());
    EXPECT_EQ(decode(decoder, "\x1b[A"), std::vector<InputEvent>{key(Key::Up)});

    // Sequences far longer than any real one, with numbers far larger.
    std::string longCsi = "\x1b[";
    for (int i = 0; i < 10'000; ++i) longCsi += "99999999999:1;";
    EXPECT_TRUE(decode(decoder, longCsi + "u").empty());
    EXPECT_TRUE(decode(decoder, "\x1b[99999999999999999999;1:3A").empty());
    EXPECT_EQ(decode(decoder, "\x1b[B"), std::vector<InputEvent>{key(Key::Down)});

    // Random bytes may form keys by chance, but after a quiet moment the decoder reads cleanly.
    std::string garbage(1 << 20, '\0');
    for (char& c : garbage) c = static_cast<char>(random());
    decode(decoder, garbage, 0);
    EXPECT_EQ(decode(decoder, "\x1b[C", 1000), std::vector<InputEvent>{key(Key::Right)});
}

}  // namespace
