// The whole picture of each golden scene against its file in tests/golden. A failure lists the
// cells that differ and leaves the picture drawn beside the build, to compare or to take.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "console/headless/test_console.h"
#include "tests/support/golden_screen.h"

// Names the scene in the test's output.
static void PrintTo(const GoldenScene& scene, std::ostream* out) {
    *out << scene.name;
}

namespace {

std::string readFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

class Golden : public ::testing::TestWithParam<GoldenScene> {};

TEST_P(Golden, ScreenMatchesItsFile) {
    const GoldenScene& scene = GetParam();
    scene.play();
    const std::string drawn = goldenText(testconsole::screen(), scene.title);
    const std::filesystem::path expected =
        std::filesystem::path(GLYPH_GOLDEN_DIR) / (std::string(scene.name) + ".txt");
    ASSERT_TRUE(std::filesystem::exists(expected))
        << expected << " is missing: build the target golden-screens to write it";
    const std::string differences = cellDifferences(readFile(expected), drawn);
    if (differences.empty()) return;

    const std::filesystem::path actualDir(GLYPH_GOLDEN_ACTUAL_DIR);
    std::filesystem::create_directories(actualDir);
    const std::filesystem::path actual = actualDir / (std::string(scene.name) + ".txt");
    std::ofstream(actual, std::ios::binary) << drawn;
    ADD_FAILURE() << scene.name << ": the screen differs from " << expected << " in\n"
                  << differences << "The screen as drawn: " << actual
                  << "\nIf the change is meant, build the target golden-screens and review the "
                     "diff of tests/golden.";
}

INSTANTIATE_TEST_SUITE_P(Scenes, Golden, ::testing::ValuesIn(goldenScenes()), [](const auto& info) {
    std::string name = info.param.name;
    for (char& c : name)
        if (c == '-') c = '_';
    return name;
});

}  // namespace
