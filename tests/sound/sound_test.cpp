// The SDL sound service on SDL's dummy device, which plays in real time without speakers, and
// with no device at all. Waits poll with generous deadlines; no test depends on how fast it runs.
#include <SDL_mixer.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "console/services.h"
#include "console/terminal/sound_sdl.h"

namespace {

namespace fs = std::filesystem;

std::atomic<int> finishes{0};
void countFinish() {
    ++finishes;
}

// A mono 16-bit WAV at 11025 Hz of a quiet 440 Hz square wave.
void writeTone(const fs::path& path, int milliseconds) {
    const std::uint32_t samples = 11025 * milliseconds / 1000;
    std::string wav;
    auto put = [&wav](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) wav += static_cast<char>(value >> (8 * i));
    };
    wav += "RIFF";
    put(36 + samples * 2, 4);
    wav += "WAVEfmt ";
    put(16, 4), put(1, 2), put(1, 2);                     // chunk size, PCM, mono
    put(11025, 4), put(22050, 4), put(2, 2), put(16, 2);  // rate, bytes a second, frame, bits
    wav += "data";
    put(samples * 2, 4);
    for (std::uint32_t i = 0; i < samples; ++i) put(i * 880 / 11025 % 2 ? 0xF830 : 0x07D0, 2);
    std::ofstream(path, std::ios::binary) << wav;
}

// Runs the calls with stdout and stderr going to a file, and returns what reached them.
std::string outputOf(const std::function<void()>& calls) {
    std::fflush(nullptr);
    std::FILE* sink = std::tmpfile();
    const int out = dup(STDOUT_FILENO);
    const int err = dup(STDERR_FILENO);
    dup2(fileno(sink), STDOUT_FILENO);
    dup2(fileno(sink), STDERR_FILENO);
    calls();
    std::fflush(nullptr);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    close(out);
    close(err);
    std::string written;
    std::rewind(sink);
    for (int c; (c = std::fgetc(sink)) != EOF;) written += static_cast<char>(c);
    std::fclose(sink);
    return written;
}

bool isDefaultHandler(int signal) {
    struct sigaction action {};
    sigaction(signal, nullptr, &action);
    return action.sa_handler == SIG_DFL;
}

class SoundTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/glyph-sound-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        finishes = 0;
    }
    void TearDown() override {
        Mix_HookMusicFinished(nullptr);
        soundsdl::shutdown();
        unsetenv("SDL_AUDIODRIVER");
        fs::remove_all(dir_);
    }
    std::string tone(const char* name, int milliseconds) {
        const fs::path path = dir_ / name;
        writeTone(path, milliseconds);
        return path.string();
    }
    static int starts() { return soundsdl::counters().starts; }

    fs::path dir_;
};

TEST_F(SoundTest, TuneStartsAgainAfterItEndsAndIsNeverCutShort) {
    const std::string path = tone("short.wav", 200);
    Mix_HookMusicFinished(countFinish);
    playBackgroundSound(path.c_str());
    ASSERT_EQ(starts(), 1);
    EXPECT_EQ(Mix_PlayingMusic(), 1);

    // Called as often as a tick comes, and far more often: a start while the tune still plays
    // would show as more starts than finished plays plus the one playing.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (starts() < 4 && std::chrono::steady_clock::now() < deadline) {
        playBackgroundSound(path.c_str());
        ASSERT_LE(starts(), finishes + 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_EQ(starts(), 4);
    EXPECT_EQ(soundsdl::counters().deviceOpens, 1);
    EXPECT_EQ(soundsdl::counters().fileLoads, 1);

    // Ctrl-C and kill belong to the terminal layer, not to SDL.
    EXPECT_TRUE(isDefaultHandler(SIGINT));
    EXPECT_TRUE(isDefaultHandler(SIGTERM));
}

TEST_F(SoundTest, StopHaltsTheTuneAtOnce) {
    stopSound();
    EXPECT_EQ(soundsdl::counters().deviceOpens, 0) << "stopping must not open the device";

    const std::string path = tone("long.wav", 10000);
    playBackgroundSound(path.c_str());
    ASSERT_EQ(Mix_PlayingMusic(), 1);
    stopSound();
    EXPECT_EQ(Mix_PlayingMusic(), 0);

    playBackgroundSound(path.c_str());
    EXPECT_EQ(Mix_PlayingMusic(), 1);
    EXPECT_EQ(starts(), 2);
}

TEST_F(SoundTest, MissingOrBrokenFileIsSilentAndTriedOnce) {
    const std::string missing = (dir_ / "missing.wav").string();
    const std::string broken = (dir_ / "broken.wav").string();
    std::ofstream(broken) << "RIFF, but not really";

    const std::string written = outputOf([&] {
        for (int tick = 0; tick < 100; ++tick) playBackgroundSound(missing.c_str());
        for (int tick = 0; tick < 100; ++tick) playBackgroundSound(broken.c_str());
        stopSound();
    });
    EXPECT_EQ(written, "");
    EXPECT_EQ(Mix_PlayingMusic(), 0);
    EXPECT_EQ(starts(), 0);
    EXPECT_EQ(soundsdl::counters().deviceOpens, 1);
    EXPECT_EQ(soundsdl::counters().fileLoads, 2);
}

TEST_F(SoundTest, ShippedTunePlaysAndLastsAFewSeconds) {
    const std::string path = GLYPH_SOURCE_DIR "/res/Glyph.wav";
    playBackgroundSound(path.c_str());
    EXPECT_EQ(starts(), 1);
    EXPECT_EQ(Mix_PlayingMusic(), 1);

    Mix_Music* music = Mix_LoadMUS(path.c_str());
    ASSERT_NE(music, nullptr);
    EXPECT_GE(Mix_MusicDuration(music), 3.0);
    EXPECT_LE(Mix_MusicDuration(music), 15.0);
    Mix_FreeMusic(music);
}

// "" leaves the choice of driver to SDL: on a machine without sound hardware, as CI is, that is
// where the audio libraries have the most to say.
class NoDeviceTest : public SoundTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(NoDeviceTest, StaysSilentAndIsTriedOnce) {
    const std::string driver = GetParam();
    if (driver.empty()) {
        unsetenv("SDL_AUDIODRIVER");
    } else {
        setenv("SDL_AUDIODRIVER", driver.c_str(), 1);
    }
    // A file that does not exist: where the machine does have a device, nothing plays either.
    const std::string path = (dir_ / "missing.wav").string();

    const std::string written = outputOf([&] {
        for (int tick = 0; tick < 100; ++tick) playBackgroundSound(path.c_str());
        stopSound();
    });
    EXPECT_EQ(written, "");
    EXPECT_EQ(soundsdl::counters().deviceOpens, 1);
    EXPECT_EQ(starts(), 0);
}

INSTANTIATE_TEST_SUITE_P(Drivers, NoDeviceTest, ::testing::Values("no-such-driver", ""),
                         [](const auto& info) {
                             return std::string(info.param).empty() ? "MachineDefault"
                                                                    : "UnknownDriver";
                         });

}  // namespace
