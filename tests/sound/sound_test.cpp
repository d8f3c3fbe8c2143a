// The SDL sound service on SDL's dummy device, which plays in real time without speakers, and
// with no device at all. Waits poll for up to a minute; no test depends on how fast it runs.
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "console/services.h"
#include "console/terminal/sound_sdl.h"

namespace {

std::atomic<int> finishes{0};

// Scratch files go to the working directory, the test's build directory.
struct SoundTest : ::testing::Test {
    SoundTest() { setenv("SDL_AUDIODRIVER", "dummy", 1); }
    ~SoundTest() override {
        Mix_HookMusicFinished(nullptr), soundsdl::shutdown();
        std::remove("short.wav"), std::remove("broken.wav");
    }
};

std::string counts() {
    const soundsdl::Counters done = soundsdl::counters();
    return std::to_string(done.deviceOpens) + " opens, " + std::to_string(done.fileLoads) +
           " loads, " + std::to_string(done.starts) + " starts";
}

// A mono 8-bit WAV at 8000 Hz of a quiet square wave.
void writeTone(const char* path, int samples) {
    std::string wav = "RIFF";
    const auto put = [&wav](int value, int bytes) {
        for (int i = 0; i < bytes; ++i) wav += static_cast<char>(value >> (8 * i));
    };
    put(36 + samples, 4), wav += "WAVEfmt ";
    put(16, 4), put(1, 2), put(1, 2), put(8000, 4), put(8000, 4), put(1, 2), put(8, 2);
    wav += "data", put(samples, 4);
    for (int i = 0; i < samples; ++i) wav += i / 9 % 2 ? '\x70' : '\x90';
    std::ofstream(path, std::ios::binary) << wav;
}

TEST_F(SoundTest, TuneStartsAgainOnlyAfterItEndsAndStopHaltsIt) {
    writeTone("short.wav", 1600);  // 200 ms
    Mix_HookMusicFinished([] { ++finishes; });
    // Called far more often than ticks come: a start while the tune still plays would show as
    // more starts than finished plays plus the one playing.
    for (int wait = 0; wait < 30000 && soundsdl::counters().starts < 4; ++wait) {
        playBackgroundSound("short.wav");
        ASSERT_LE(soundsdl::counters().starts, finishes + 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_EQ(counts(), "1 opens, 1 loads, 4 starts");

    // Stopped, the next call starts again: here the shipped tune, which lasts long enough to stop.
    stopSound();
    playBackgroundSound(GLYPH_SOURCE_DIR "/res/Glyph.wav");
    EXPECT_EQ(counts(), "1 opens, 2 loads, 5 starts");
    stopSound();
    EXPECT_EQ(Mix_PlayingMusic(), 0);
    // Ctrl-C and kill belong to the terminal layer, not to SDL.
    EXPECT_TRUE(std::signal(SIGINT, SIG_DFL) == SIG_DFL &&
                std::signal(SIGTERM, SIG_DFL) == SIG_DFL);
}

// A missing and a broken file on the dummy device, on a driver that does not exist, and on SDL's
// own pick, where on a machine without sound hardware (CI) the audio libraries say the most.
TEST_F(SoundTest, NoDeviceOrNoFileIsSilentAndTriedOnce) {
    std::ofstream("broken.wav") << "RIFF, but not really";
    for (const char* driver : {"dummy", "no-such-driver", ""}) {
        *driver ? setenv("SDL_AUDIODRIVER", driver, 1) : unsetenv("SDL_AUDIODRIVER");
        ::testing::internal::CaptureStdout(), ::testing::internal::CaptureStderr();
        for (const char* file : {"missing.wav", "broken.wav"})
            for (int tick = 0; tick < 100; ++tick) playBackgroundSound(file);
        stopSound();
        EXPECT_EQ(
            ::testing::internal::GetCapturedStdout() + ::testing::internal::GetCapturedStderr(), "")
            << driver;
        // Each file is tried once where a device opened, not at all where none did.
        const bool opened = Mix_QuerySpec(nullptr, nullptr, nullptr) != 0;
        EXPECT_TRUE(!*driver || opened == (*driver == 'd')) << driver;
        EXPECT_EQ(counts(), opened ? "1 opens, 2 loads, 0 starts" : "1 opens, 0 loads, 0 starts")
            << driver;
        soundsdl::shutdown();
    }
}

}  // namespace
