// The farm scripts of scripts/farm: a sequence rendered in chunks by GNU
// parallel, or by Slurm array tasks (run here one after another, as Slurm
// would run them), gives the same files, byte for byte, as one whole render.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "tests/cli/cli_fixtures.h"

namespace {

namespace fs = std::filesystem;

const std::string kFarm = std::string(PATHBLOOM_SOURCE_DIR) + "/scripts/farm";

int shell(const std::string &command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::map<std::string, std::string> filesIn(const std::string &folder) {
    std::map<std::string, std::string> files;
    for (const auto &entry : fs::directory_iterator(folder)) {
        std::ifstream file(entry.path(), std::ios::binary);
        files[entry.path().filename().string()] = std::string(std::istreambuf_iterator<char>(file), {});
    }
    return files;
}

TEST(FarmScripts, ChunkedRendersGiveTheWholeRendersFrames) {
    ASSERT_EQ(shell("command -v parallel >/dev/null"), 0) << "GNU parallel is missing (scripts/install-deps.sh)";
    const std::string folder = scratchFolder(), scene = folder + "/scene.json";
    writeTextFile(scene, R"({"width": 48, "height": 32, "frames": [0, 9], "fps": 10,
        "masks": [{"closed": false, "points": [[4, 16], [24, 4], [44, 28]]}],
        "params": {"Mode": "Number", "Number": 6, "First Radius": {"keyframes": [[0, 2], [0.9, 7]]}}})");
    const std::string pattern = "/title.####.png";
    const CommandResult whole = runPathbloom("render '" + scene + "' -o '" + folder + "/whole" + pattern + "'");
    ASSERT_EQ(whole.status, 0) << whole.err;
    const auto expected = filesIn(folder + "/whole");
    ASSERT_EQ(expected.size(), 10u);

    const std::string environment = "PATHBLOOM='" + std::string(PATHBLOOM_CLI) + "' ";
    ASSERT_EQ(shell(environment + "'" + kFarm + "/render-chunks.sh' '" + scene + "' '" + folder + "/parallel" +
                    pattern + "' 0 9 3 --jobs 2 >/dev/null 2>&1"),
              0);
    EXPECT_EQ(filesIn(folder + "/parallel"), expected);

    for (int task = 0; task < 4; ++task)
        ASSERT_EQ(shell(environment + "SLURM_ARRAY_TASK_ID=" + std::to_string(task) + " SCENE='" + scene +
                        "' OUTPUT='" + folder + "/slurm" + pattern + "' FIRST=0 LAST=9 CHUNK=3 bash '" + kFarm +
                        "/slurm-array.sbatch' >/dev/null 2>&1"),
                  0)
            << "task " << task;
    EXPECT_EQ(filesIn(folder + "/slurm"), expected);
}

}  // namespace
