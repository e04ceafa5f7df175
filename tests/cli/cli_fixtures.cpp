// Shared set-up of the pathbloom command's tests.
#include "tests/cli/cli_fixtures.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "tests/support/plugin_paths.h"

std::string mainPluginPath() {
    const std::vector<PluginUnderTest> plugins = pluginsUnderTest();
    return plugins.empty() ? std::string() : plugins.front().path;
}

const std::vector<PF_ParamDef> &registeredParams() {
    static std::unique_ptr<minihost::Host> host;
    static std::vector<PF_ParamDef> empty;
    if (!host) {
        auto loaded = std::make_unique<minihost::Host>();
        std::string error;
        if (!minihost::openPlugin(*loaded, mainPluginPath(), error)) {
            ADD_FAILURE() << "cannot load " << mainPluginPath() << ": " << error;
            return empty;
        }
        const PF_Err setup = minihost::setupEffect(*loaded);
        if (setup != PF_Err_NONE) {
            ADD_FAILURE() << "setupEffect failed with " << setup;
            return empty;
        }
        // The host stays loaded: popup choice lists point into the library.
        host = std::move(loaded);
    }
    return host->paramDefs;
}

namespace {
std::filesystem::path scratchPath() {
    const ::testing::TestInfo *test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name =
        std::string("pathbloom_cli_") + std::to_string(getpid()) + "_" + test->test_suite_name() + "_" + test->name();
    for (char &c : name)
        if (c == '/') c = '_';
    return std::filesystem::temp_directory_path() / name;
}
}  // namespace

std::string scratchFolder() {
    const std::filesystem::path folder = scratchPath();
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder.string();
}

void writeTextFile(const std::string &path, const std::string &text) {
    std::ofstream file(path, std::ios::binary);
    file << text;
}

namespace {
std::string readWhole(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}
}  // namespace

bool signalWhenReady(pid_t child, const std::function<bool()> &ready, int signal, int &status) {
    while (!ready()) {
        if (waitpid(child, &status, WNOHANG) == child) return false;
        usleep(1000);
    }
    kill(child, signal);
    return waitpid(child, &status, 0) == child;
}

CommandResult runPathbloom(const std::string &arguments, const std::string &environment) {
    const std::string folder = scratchPath().string() + "_run";
    std::filesystem::create_directories(folder);
    const std::string out = folder + "/out.txt", err = folder + "/err.txt";
    const std::string command =
        environment + " '" + PATHBLOOM_CLI + "' " + arguments + " >'" + out + "' 2>'" + err + "'";
    CommandResult result;
    const int status = std::system(command.c_str());
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = readWhole(out);
    result.err = readWhole(err);
    std::filesystem::remove_all(folder);
    return result;
}

std::string withoutFrameLog(const std::string &err) {
    std::istringstream lines(err);
    std::string kept;
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("frame ", 0) != 0 || line.find(" written: ") == std::string::npos) kept += line + "\n";
    return kept;
}

bool readPngHeader(const std::string &path, PngHeader &header) {
    const std::string bytes = readWhole(path);
    if (bytes.size() < 26 || bytes.compare(1, 3, "PNG") != 0 || bytes.compare(12, 4, "IHDR") != 0) return false;
    auto be32 = [&](size_t at) {
        return int((uint8_t(bytes[at]) << 24) | (uint8_t(bytes[at + 1]) << 16) | (uint8_t(bytes[at + 2]) << 8) |
                   uint8_t(bytes[at + 3]));
    };
    header.width = be32(16);
    header.height = be32(20);
    header.bitDepth = uint8_t(bytes[24]);
    header.colorType = uint8_t(bytes[25]);
    return true;
}

namespace {
// Removes this run's scratch folders when the tests end.
struct ScratchCleanup : ::testing::Environment {
    void TearDown() override {
        const std::string prefix = "pathbloom_cli_" + std::to_string(getpid()) + "_";
        std::error_code error;
        for (const auto &entry : std::filesystem::directory_iterator(std::filesystem::temp_directory_path(), error))
            if (entry.path().filename().string().rfind(prefix, 0) == 0)
                std::filesystem::remove_all(entry.path(), error);
    }
};
::testing::Environment *const scratchCleanup = ::testing::AddGlobalTestEnvironment(new ScratchCleanup);
}  // namespace
