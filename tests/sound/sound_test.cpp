// The SDL sound service on SDL's dummy device, which plays in real time without speakers, and
// with no device at all. Waits poll for up to a minute; no test depends on how fast it runs.
#include <SDL_mixer.h>
#include <SDL_timer.h>
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "console/services.h"
#include "console/terminal/sound_sdl.h"

namespace {

using namespace std::literals;
namespace gt = ::testing::internal;

std::atomic<int> finishes{0};

struct SoundTest : ::testing::Test {
    SoundTest() { setenv("SDL_AUDIODRIVER", "dummy", 1); }
    ~SoundTest() override { soundsdl::shutdown(), std::remove("tone.wav"), std::remove("bad.wav"); }
};

std::string counts() {
    const soundsdl::Counters c = soundsdl::counters();
    return std::to_string(c.deviceOpens) + " opens, " + std::to_string(c.fileLoads) + " loads, " +
           std::to_string(c.starts) + " starts";
}

TEST_F(SoundTest, TuneStartsAgainOnlyAfterItEndsAndStopHaltsIt) {
    // 200 ms of silence in a WAV file: PCM, mono, 8000 samples a second of 8 bits each.
    std::ofstream("tone.wav", std::ios::binary)
        << "RIFF\x64\x06\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x40\x1f\0\0\x40\x1f\0\0\x01\0\x08\0"
           "data\x40\x06\0\0"sv
        << std::string(1600, '\x80');
    Mix_HookMusicFinished([] { ++finishes; });
    // Called far more often than ticks come: a start while the tune still plays would show as
    // more starts than finished plays plus the one playing.
    for (int wait = 0; wait < 30000 && soundsdl::counters().starts < 4; ++wait) {
        playBackgroundSound("tone.wav");
        ASSERT_LE(soundsdl::counters().starts, finishes + 1);
        SDL_Delay(2);
    }
    EXPECT_EQ(counts(), "1 opens, 1 loads, 4 starts");

    // Stopping closes the device (no audio thread stays awake behind the end screen); the next
    // call opens it again and starts: here the shipped tune, which lasts long enough to stop.
    stopSound();
    EXPECT_EQ(Mix_QuerySpec(nullptr, nullptr, nullptr), 0);
    playBackgroundSound(GLYPH_SOURCE_DIR "/res/Glyph.wav");
    EXPECT_EQ(counts(), "2 opens, 2 loads, 5 starts");
    EXPECT_EQ(Mix_PlayingMusic(), 1);
    stopSound();
    EXPECT_EQ(Mix_PlayingMusic(), 0);
    // Ctrl-C and kill belong to the terminal layer, not to SDL.
    EXPECT_EQ(std::signal(SIGINT, SIG_DFL), SIG_DFL);
}

// A missing and a broken file on the dummy device, on a driver that does not exist, and on SDL's
// own pick, where on a machine without sound hardware (CI) the audio libraries say the most.
TEST_F(SoundTest, NoDeviceOrNoFileIsSilentAndTriedOnce) {
    std::ofstream("bad.wav") << "RIFF, but not really";
    for (const char* driver : {"dummy", "no-such-driver", ""}) {
        *driver ? setenv("SDL_AUDIODRIVER", driver, 1) : unsetenv("SDL_AUDIODRIVER");
        gt::CaptureStdout(), gt::CaptureStderr();
        for (const char* file : {"missing.wav", "bad.wav"})
            for (int tick = 0; tick < 100; ++tick) playBackgroundSound(file);
        // Nothing said; each file tried once where a device opened, not at all where none did.
        const bool opened = Mix_QuerySpec(nullptr, nullptr, nullptr) != 0;
        stopSound();
        EXPECT_TRUE(!*driver || opened == (*driver == 'd')) << driver;
        EXPECT_EQ(gt::GetCapturedStdout() + gt::GetCapturedStderr() + counts(),
                  opened ? "1 opens, 2 loads, 0 starts" : "1 opens, 0 loads, 0 starts")
            << driver;
        soundsdl::shutdown();
    }
}

// A machine without SDL2_mixer installed: the game plays on, silent, and the libraries are
// looked for once.
TEST_F(SoundTest, MissingLibrariesAreSilentAndLookedForOnce) {
    soundsdl::useLibraries(soundsdl::kSdlLibrary, "libglyph-no-such-mixer.so.0");
    gt::CaptureStdout(), gt::CaptureStderr();
    for (int tick = 0; tick < 100; ++tick) playBackgroundSound(GLYPH_SOURCE_DIR "/res/Glyph.wav");
    stopSound();
    EXPECT_EQ(gt::GetCapturedStdout() + gt::GetCapturedStderr() + counts(),
              "1 opens, 0 loads, 0 starts");
    soundsdl::useLibraries(soundsdl::kSdlLibrary, soundsdl::kMixerLibrary);
}

}  // namespace
