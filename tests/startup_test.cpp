#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>

#ifndef _WIN32
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "front/startup.h"
#include "play/game_state.h"
#include "tests/support/test_console.h"

namespace fs = std::filesystem;

namespace {

// The bytes a text-mode file holds for `text`: Windows stores each line break as CR LF.
std::string asFile(std::string text) {
#ifdef _WIN32
    for (auto at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 2))
        text.replace(at, 1, "\r\n");
#endif
    return text;
}

std::string readBytes(const char* name) {
    std::ostringstream bytes;
    bytes << std::ifstream(name, std::ios::binary).rdbuf();
    return bytes.str();
}

// The face that ends "Assistance.txt": leading spaces and marks, in rows 38 wide.
const std::pair<int, const char*> kFace[] = {
    {29, "####"},           {27, "########"},       {26, "##########"},     {25, "############"},
    {25, "##  ####  ##"},   {24, "###  ####  ###"}, {24, "##############"}, {24, "##############"},
    {24, "#### #### ####"}, {25, "####    ####"},   {25, "############"},   {26, "##########"},
    {27, "########"},       {29, "####"},
};

// Starts up as the program does; true when all the console did was hide the cursor and clear.
bool startUpClearsOnly() {
    testconsole::reset();
    GameState game{.timeLeft = -1};
    int selection = 3;
    const auto changes = testconsole::screen().changeCount();
    startUp(game, selection);
    return testconsole::cursorHidden() && testconsole::clearCount() == 1 &&
           testconsole::screen().changeCount() == changes + 1 && selection == 0 &&
           game.timeLeft == 3000;
}

// Each test runs in a fresh working directory of its own, as the program runs in one.
struct StartUpTest : ::testing::Test {
    StartUpTest() { fs::create_directories(dir), fs::current_path(dir); }
    ~StartUpTest() override { fs::current_path(previous), fs::remove_all(dir, ignored); }
    const fs::path previous = fs::current_path();
    const fs::path dir =
        fs::temp_directory_path() / ("glyph-" + std::to_string(std::random_device{}()));
    std::error_code ignored;
};

TEST_F(StartUpTest, WritesBothHelpFilesAnewAndClears) {
    const std::string row(38, ' ');
    std::string assistance =
        "Menu Controls:\nTop arrow: choose the upper option.\nBottom arrow: choose the lower "
        "option.\nEnter key: enter chosen option.\n\nGame Controls:\nTop arrow: move upward.\n"
        "Bottom arrow: move downward.\nLeft arrow: move leftward.\nRight arrow: move rightward.\n\n"
        "Gameplay\nEscape the maze you're trapped in, collect dots to get some points, open the "
        "doors by stepping on the circle of the same color and don't be caught by the enemies.\n\n"
        "How total score works.\nAt the end of the game, after you win, you will get your total "
        "score in the game. Total score is your score + remaining * 10 - moves." +
        row + "\n" + row + "\n";
    for (const auto& [leading, marks] : kFace)
        assistance += (std::string(leading, ' ') + marks + row).substr(0, 38) + "\n";
    // What the game is and where its documentation is, then a credit line.
    const std::regex information(
        asFile("Glyph Labyrinth .*command prompt.*More information here:  README.md.*\n.+\n"));

    // A second start replaces both files; longer earlier copies are cut, not overwritten.
    for (int start = 0; start < 2; ++start) {
        std::ofstream(kAssistanceFile) << std::string(10000, 'x');
        std::ofstream(kInformationFile) << std::string(10000, 'y');
        EXPECT_TRUE(startUpClearsOnly());
        EXPECT_EQ(readBytes(kAssistanceFile), asFile(assistance));
        EXPECT_TRUE(std::regex_match(readBytes(kInformationFile), information));
    }
}

#ifndef _WIN32

// Root ignores permission bits, so a child process that gives up root first starts up in a
// directory it cannot write, then beside a read-only "Assistance.txt".
TEST_F(StartUpTest, UnwritableFilesAreSkippedWithoutAWord) {
    fs::create_directory("locked");
    const auto writable = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    fs::permissions("locked", writable, fs::perm_options::remove);
    fs::permissions(dir, fs::perms::all);
    std::ofstream(kAssistanceFile) << "kept\n";
    fs::permissions(kAssistanceFile, writable, fs::perm_options::remove);
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && (setgroups(0, nullptr) || setgid(65534) || setuid(65534))) _exit(2);
        fs::current_path("locked");
        const bool quiet = startUpClearsOnly();
        fs::current_path(dir);
        _exit(quiet && startUpClearsOnly() ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (WEXITSTATUS(status) == 2) GTEST_SKIP() << "cannot give up root here";
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(fs::is_empty("locked"));
    EXPECT_EQ(readBytes(kAssistanceFile), "kept\n");
    EXPECT_TRUE(fs::exists(kInformationFile));
}

#endif

}  // namespace
