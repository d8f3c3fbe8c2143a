// Writes the golden screens anew: golden_writer DIRECTORY draws every golden scene on the test
// console and writes DIRECTORY/<scene>.txt. The target golden-screens runs it on tests/golden.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "console/headless/test_console.h"
#include "tests/support/golden_screen.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: golden_writer DIRECTORY\n");
        return 2;
    }
    for (const GoldenScene& scene : goldenScenes()) {
        scene.play();
        const auto path = std::filesystem::path(argv[1]) / (std::string(scene.name) + ".txt");
        std::ofstream file(path, std::ios::binary);
        file << goldenText(testconsole::screen(), scene.title);
        if (!file) {
            std::fprintf(stderr, "golden_writer: cannot write %s\n", path.string().c_str());
            return 1;
        }
        std::printf("%s\n", path.string().c_str());
    }
    return 0;
}
