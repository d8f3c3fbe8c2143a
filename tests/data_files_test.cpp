// Where the data files are found, on real files in a scratch folder that is also the working
// directory of each case. The installed program is run from elsewhere by tests/package.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "console/data_files.h"

namespace {

namespace fs = std::filesystem;

struct DataFilesTest : ::testing::Test {
    // A folder of its own: builds and test runs may share the machine.
    fs::path root =
        fs::temp_directory_path() / ("glyph-data-" + std::to_string(std::random_device()()) + "-" +
                                     std::to_string(std::random_device()()));
    fs::path previous = fs::current_path();
    // An installed tree moved away from where it was configured to go, and the player's folder.
    DataFolders folders{root / "tree/games", "../share/games/glyph", root / "configured/glyph"};

    DataFilesTest() {
        for (const char* dir :
             {"player/res", "tree/games/res", "tree/share/games/glyph", "configured/glyph/sounds"})
            fs::create_directories(root / dir);
        fs::current_path(root / "player");
    }
    ~DataFilesTest() override {
        fs::current_path(previous);
        fs::remove_all(root);
    }
    void put(const fs::path& file) { std::ofstream(root / file) << "RIFF"; }
};

// Compared element by element, so that a backslash on Windows matches.
TEST_F(DataFilesTest, WorkingDirectoryThenBesideTheProgramThenTheInstalledFolder) {
    const fs::path places[] = {"player/res/tune.wav", "tree/games/res/tune.wav",
                               "tree/share/games/glyph/tune.wav", "configured/glyph/tune.wav"};
    for (const fs::path& place : places) put(place);
    // Taken away one by one, each place leaves the next one to be found.
    for (const fs::path& place : places) {
        const fs::path found = place == places[0] ? fs::path("res/tune.wav") : root / place;
        EXPECT_EQ(locateDataFile("res/tune.wav", folders), found) << place;
        fs::remove(root / place);
    }
    EXPECT_EQ(locateDataFile("res/tune.wav", folders), "res/tune.wav");
}

TEST_F(DataFilesTest, OnlyFilesCountAndAnUnknownProgramFolderIsSkipped) {
    // A folder of the tune's name is not the tune.
    fs::create_directories(root / "player/res/tune.wav");
    put("tree/games/res/tune.wav");
    EXPECT_EQ(locateDataFile("res/tune.wav", folders), root / "tree/games/res/tune.wav");

    // Where the platform cannot tell the program's folder, only the configured folder is left.
    folders.program.clear();
    EXPECT_EQ(locateDataFile("res/tune.wav", folders), "res/tune.wav");
    put("configured/glyph/tune.wav");
    EXPECT_EQ(locateDataFile("res/tune.wav", folders), root / "configured/glyph/tune.wav");

    // A name outside res/ keeps its folders; an absolute name is never looked up.
    put("configured/glyph/sounds/x.wav");
    EXPECT_EQ(locateDataFile("sounds/x.wav", folders), root / "configured/glyph/sounds/x.wav");
    EXPECT_EQ(locateDataFile(root / "nowhere.wav", folders), root / "nowhere.wav");
}

}  // namespace
