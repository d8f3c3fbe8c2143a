// Where the data files are found: the working directory first, then beside the program, then the
// installed data folder, from the program's folder and as configured. Real files in a scratch
// folder; the working directory is moved into it for each case.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <random>
#include <string>

#include "console/data_files.h"

namespace {

namespace fs = std::filesystem;

// Places a tune may be, in the order they are looked at.
enum Place : unsigned { Here = 1, Beside = 2, FromProgram = 4, Configured = 8 };

struct Case {
    const char* name;
    unsigned present;   // places that hold the file
    const char* found;  // relative to the scratch folder; "asked" for the name as given
};

void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}

// A scratch folder of its own, as builds and test runs may share the machine.
fs::path scratchFolder() {
    std::random_device random;
    return fs::temp_directory_path() /
           ("glyph-data-" + std::to_string(random()) + std::to_string(random()));
}

struct DataFilesTest : ::testing::Test {
    fs::path root = scratchFolder();
    fs::path previous = fs::current_path();
    // An installed tree moved away from where it was configured to go, and a player's folder.
    DataFolders folders{root / "tree/games", "../share/games/glyph", root / "configured/glyph"};

    DataFilesTest() {
        fs::remove_all(root);
        for (const char* dir :
             {"player/res", "tree/games/res", "tree/share/games/glyph", "configured/glyph"})
            fs::create_directories(root / dir);
        fs::current_path(root / "player");
    }
    ~DataFilesTest() override {
        fs::current_path(previous);
        fs::remove_all(root);
    }
    void put(const fs::path& file) { std::ofstream(root / file) << "RIFF"; }
};

struct DataFilesOrder : DataFilesTest, ::testing::WithParamInterface<Case> {};

TEST_P(DataFilesOrder, FirstPlaceThatHoldsTheFileWins) {
    const Case& c = GetParam();
    if (c.present & Here) put("player/res/tune.wav");
    if (c.present & Beside) put("tree/games/res/tune.wav");
    if (c.present & FromProgram) put("tree/share/games/glyph/tune.wav");
    if (c.present & Configured) put("configured/glyph/tune.wav");

    const fs::path expected = std::string(c.found) == "asked"
                                  ? fs::path("res/tune.wav").make_preferred()
                                  : (root / c.found).make_preferred();
    EXPECT_EQ(locateDataFile("res/tune.wav", folders), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Places, DataFilesOrder,
    ::testing::Values(Case{"Everywhere", Here | Beside | FromProgram | Configured, "asked"},
                      Case{"NotHere", Beside | FromProgram | Configured, "tree/games/res/tune.wav"},
                      Case{"InstalledOnly", FromProgram | Configured,
                           "tree/share/games/glyph/tune.wav"},
                      Case{"ConfiguredOnly", Configured, "configured/glyph/tune.wav"},
                      Case{"Nowhere", 0, "asked"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DataFilesTest, OnlyFilesCountAndAnUnknownProgramFolderIsSkipped) {
    // A folder of the tune's name is not the tune.
    fs::create_directories(root / "player/res/tune.wav");
    put("tree/games/res/tune.wav");
    EXPECT_EQ(locateDataFile("res/tune.wav", folders),
              (root / "tree/games/res/tune.wav").make_preferred());

    // Where the platform cannot tell the program's folder, only the configured folder is left.
    folders.program.clear();
    EXPECT_EQ(locateDataFile("res/tune.wav", folders), fs::path("res/tune.wav").make_preferred());
    put("configured/glyph/tune.wav");
    EXPECT_EQ(locateDataFile("res/tune.wav", folders),
              (root / "configured/glyph/tune.wav").make_preferred());

    // A name outside res/ keeps its folders in the data folder; an absolute name is never looked
    // up.
    fs::create_directories(root / "configured/glyph/sounds");
    put("configured/glyph/sounds/x.wav");
    EXPECT_EQ(locateDataFile("sounds/x.wav", folders),
              (root / "configured/glyph/sounds/x.wav").make_preferred());
    EXPECT_EQ(locateDataFile(root / "nowhere.wav", folders), root / "nowhere.wav");
}

}  // namespace
