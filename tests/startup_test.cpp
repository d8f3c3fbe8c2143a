#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <regex>

#ifndef _WIN32
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "console/headless/test_console.h"
#include "front/startup.h"

namespace fs = std::filesystem;

namespace {

// The bytes a text-mode file holds for `text`: Windows stores each line break as CR LF.
std::string asFile(const std::string& text) {
#ifdef _WIN32
    return std::regex_replace(text, std::regex("\n"), "\r\n");
#endif
    return text;
}

std::string readBytes(const char* name) {
    std::ifstream file(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

// The face that ends "Assistance.txt", centred on column 31 of rows 38 wide.
const std::string kFace[] = {
    "####",           "########",       "##########",     "############",   "##  ####  ##",
    "###  ####  ###", "##############", "##############", "#### #### ####", "####    ####",
    "############",   "##########",     "########",       "####",
};

// Starts up in `where`; true if it set the first values and only hid the cursor and cleared.
bool startUpClearsOnly(const fs::path& where) {
    fs::current_path(where), testconsole::reset();
    GameState game{.timeLeft = -1};
    int selection = 3;
    startUp(game, selection);
    return testconsole::cursorHidden() && testconsole::clearCount() == 1 &&
           testconsole::screen().changeCount() == 1 && selection == 0 && game.timeLeft == 3000;
}

// Each test runs in a fresh working directory of its own, as the program runs in one.
struct StartUpTest : ::testing::Test {
    StartUpTest() { fs::create_directories(dir), fs::current_path(dir); }
    ~StartUpTest() override { fs::current_path(cwd), fs::remove_all(dir, ignored); }
    const fs::path cwd = fs::current_path();
    const fs::path dir = ::testing::TempDir() + "glyph-" + std::to_string(std::random_device{}());
    std::error_code ignored;
};

TEST_F(StartUpTest, ReplacesBothHelpFilesAndClears) {
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
    for (const std::string& marks : kFace)
        assistance += (std::string(31 - marks.size() / 2, ' ') + marks + row).substr(0, 38) + "\n";

    // Longer copies from an earlier start are cut, not overwritten.
    for (auto name : {kAssistanceFile, kInformationFile}) std::ofstream(name) << assistance + row;
    EXPECT_TRUE(startUpClearsOnly(dir));
    EXPECT_EQ(readBytes(kAssistanceFile), asFile(assistance));
    EXPECT_TRUE(std::regex_match(readBytes(kInformationFile),
                                 std::regex(asFile("Glyph Labyrinth .*here:  README.md.*\n.+\n"))));
}

#ifndef _WIN32

// In a child process that gives up root first, as root ignores permission bits.
TEST_F(StartUpTest, UnwritableFilesAreSkippedWithoutAWord) {
    fs::create_directory("locked");
    fs::permissions("locked", fs::perms(0555)), fs::permissions(dir, fs::perms::all);
    std::ofstream(kAssistanceFile) << "kept\n";
    fs::permissions(kAssistanceFile, fs::perms(0444));
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && (setgroups(0, nullptr) || setgid(65534) || setuid(65534))) _exit(2);
        _exit(startUpClearsOnly(dir / "locked") && startUpClearsOnly(dir) ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (WEXITSTATUS(status) == 2) GTEST_SKIP() << "cannot give up root here";
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(fs::is_empty("locked") && fs::exists(kInformationFile));
    EXPECT_EQ(readBytes(kAssistanceFile), "kept\n");
}

#endif

}  // namespace
