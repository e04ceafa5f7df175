// Which plug-in file the command loads: --plugin, else PATHBLOOM_PLUGIN,
// else the build's or the installation's place beside the executable; and an
// installation made by `cmake --install` that finds its own plug-in.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cli/plugin_location.h"
#include "tests/cli/cli_fixtures.h"

namespace {

namespace fs = std::filesystem;

TEST(PluginLocation, GivenThenVariableThenTheFirstDefaultPlace) {
    const std::string root = scratchFolder();
    const std::string exe = root + "/prefix/bin";
    const std::string buildPlace = exe + "/plugin/VomrelPathBloom.so", beside = exe + "/VomrelPathBloom.so",
                      installed = root + "/prefix/lib/vomrelpathbloom/VomrelPathBloom.so", chosen = root + "/mine.so";
    EXPECT_EQ(pathbloom::defaultPluginPlaces(exe), (std::vector<std::string>{buildPlace, beside, installed}));
    const struct {
        const char *what;
        std::vector<std::string> files;  // present
        std::string given;
        const char *variable;  // null: unset
        bool found;
        std::string path;
    } cases[] = {
        {"given wins over all", {chosen, installed}, "/else/x.so", chosen.c_str(), true, "/else/x.so"},
        {"given is taken unchecked", {}, "/nowhere.so", nullptr, true, "/nowhere.so"},
        {"variable over defaults", {chosen, buildPlace}, "", chosen.c_str(), true, chosen},
        {"empty variable is unset", {installed}, "", "", true, installed},
        {"installed place", {installed}, "", nullptr, true, installed},
        {"beside the executable", {beside, installed}, "", nullptr, true, beside},
        {"build place first", {buildPlace, beside, installed}, "", nullptr, true, buildPlace},
        {"variable naming nothing", {installed}, "", "/missing/p.so", false, ""},
        {"nothing anywhere", {}, "", nullptr, false, ""},
    };
    for (const auto &c : cases) {
        fs::remove_all(root);
        for (const std::string &file : c.files) {
            fs::create_directories(fs::path(file).parent_path());
            writeTextFile(file, "");
        }
        std::string path, error;
        EXPECT_EQ(pathbloom::locatePlugin(c.given, c.variable, exe, path, error), c.found) << c.what << ": " << error;
        if (c.found) {
            EXPECT_EQ(path, c.path) << c.what;
            continue;
        }
        // The message names every place looked in and how to choose one.
        std::vector<std::string> named = {buildPlace, beside, installed};
        if (c.variable) named.push_back(c.variable);
        for (const std::string &place : named)
            EXPECT_NE(error.find(place), std::string::npos) << c.what << ": " << error;
        EXPECT_NE(error.find("PATHBLOOM_PLUGIN"), std::string::npos) << error;
    }
}

// Sets an environment variable for the commands a test runs, and puts back
// what was there.
struct ScopedVariable {
    std::string name, old;
    bool had;
    ScopedVariable(const char *variable, const std::string &value) : name(variable) {
        const char *was = std::getenv(variable);
        had = was != nullptr;
        if (had) old = was;
        setenv(variable, value.c_str(), 1);
    }
    ~ScopedVariable() {
        if (had)
            setenv(name.c_str(), old.c_str(), 1);
        else
            unsetenv(name.c_str());
    }
};

// A copy of the built plug-in (library and property list) in `folder`.
std::string copyPlugin(const std::string &folder) {
    fs::create_directories(folder);
    const fs::path built = mainPluginPath();
    fs::copy_file(built, folder + "/VomrelPathBloom.so");
    fs::copy_file(fs::path(built).replace_extension(".pipl"), folder + "/VomrelPathBloom.pipl");
    return folder + "/VomrelPathBloom.so";
}

TEST(PluginLocation, TheCommandTakesTheVariableUnlessGivenAFile) {
    const std::string folder = scratchFolder();
    const std::string copy = copyPlugin(folder + "/elsewhere");
    {
        ScopedVariable variable("PATHBLOOM_PLUGIN", copy);
        const CommandResult result = runPathbloom("info");
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_NE(result.out.find("Plug-in file   " + copy + "\n"), std::string::npos) << result.out;
    }
    ScopedVariable variable("PATHBLOOM_PLUGIN", folder + "/missing.so");
    const CommandResult missing = runPathbloom("info");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(
        missing.err.rfind("pathbloom: no plug-in file at " + folder + "/missing.so, which PATHBLOOM_PLUGIN names", 0),
        0u)
        << missing.err;
    const CommandResult given = runPathbloom("info '" + mainPluginPath() + "'");
    EXPECT_EQ(given.status, 0) << given.err;
    writeTextFile(folder + "/scene.json", R"({"width": 8, "height": 8, "frames": [0, 0]})");
    const CommandResult render =
        runPathbloom("render '" + folder + "/scene.json' -o '" + folder + "/out' --plugin '" + copy + "'");
    EXPECT_EQ(render.status, 0) << render.err;
    EXPECT_TRUE(fs::exists(folder + "/out/frame_0000.png"));
    const CommandResult check = runPathbloom("check '" + folder + "/scene.json'");
    EXPECT_EQ(check.status, 2) << check.err;
    EXPECT_NE(check.err.find(folder + "/missing.so"), std::string::npos) << check.err;
}

// `cmake --install` into DESTDIR/PREFIX: the installed command, run with no
// PATHBLOOM_PLUGIN from another folder, loads the plug-in installed with it.
TEST(Install, TheInstalledCommandFindsItsPlugin) {
    const std::string destdir = scratchFolder() + "/stage", prefix = "/opt/pathbloom-test";
    const std::string install = "DESTDIR='" + destdir + "' '" + PATHBLOOM_CMAKE + "' --install '" +
                                PATHBLOOM_BUILD_DIR + "' --prefix '" + prefix + "' >/dev/null";
    ASSERT_EQ(std::system(install.c_str()), 0) << install;
    const std::string root = destdir + prefix;
    for (const char *file :
         {"/bin/pathbloom", "/lib/vomrelpathbloom/VomrelPathBloom.so", "/lib/vomrelpathbloom/VomrelPathBloom.pipl"})
        EXPECT_TRUE(fs::is_regular_file(root + file)) << file;
    const std::string out = destdir + "/info.txt";
    const std::string run = "cd / && env -u PATHBLOOM_PLUGIN '" + root + "/bin/pathbloom' info > '" + out + "' 2>&1";
    EXPECT_EQ(std::system(run.c_str()), 0) << run;
    std::ifstream file(out);
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("Plug-in file   " + root + "/lib/vomrelpathbloom/VomrelPathBloom.so\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("Parameters (63)"), std::string::npos) << text;
}

}  // namespace
