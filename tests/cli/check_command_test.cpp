// `pathbloom check`, `info --scene` and the render's parameter UI update,
// with the plug-in's own UI handler: what it greys out, and the probing that
// words what would enable it.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>

#include "cli/check_command.h"
#include "cli/info_command.h"
#include "cli/render_command.h"
#include "tests/cli/cli_fixtures.h"

namespace {

// The n-th PF_UpdateParamUI of each host fails; the plug-in makes 40 per update.
template <int n>
void failingUpdate(minihost::Host &host) {
    host.faults.failCall["PF_UpdateParamUI"] = {n, PF_Err_INTERNAL_STRUCT_DAMAGED};
}

const char *closedMask = R"("masks": [{"closed": true, "points": [[5, 5], [35, 5], [35, 25]]}])";
const char *openMask = R"("masks": [{"closed": false, "points": [[5, 5], [35, 5], [35, 25]]}])";

// Writes a 40x30 scene of `mask` and `rest` into `folder`; returns its path.
std::string sceneFile(const std::string &folder, const char *mask, const std::string &rest) {
    writeTextFile(folder + "/scene.json", std::string(R"({"width": 40, "height": 30, )") + mask + rest + "}");
    return folder + "/scene.json";
}

TEST(CheckCommand, ListsIgnoredSettingsWithWhatWouldEnableThem) {
    const struct {
        const char *what;
        const char *mask;
        const char *rest;  // parameters, frames
        int status;
        const char *out;
    } cases[] = {
        {"popups, pairs of them and mask shapes", closedMask,
         R"("params": {"Shape Mode": "Circle", "Side": 6, "Line Loop": true, "Sub Mode": "Constant", "Offset": 30,
            "Delay": 50, "Order Seed": 3})",
         1,
         "\"Sub Mode\" is ignored unless \"Mode\" is \"Number\" or \"Line\"\n"
         "\"Line Loop\" is ignored unless \"Mode\" is \"Line\" and \"Sub Mode\" is \"Dependent\"\n"
         "\"Offset\" is ignored unless \"Mode\" is \"Number\" or \"Line\"\n"
         "\"Order Seed\" is ignored unless \"Order\" is \"Random\"\n"
         "\"Side\" is ignored unless \"Shape Mode\" is \"Polygon\"\n"},
        {"an open mask, and a layer without stroke", openMask,
         R"("params": {"Mode": "Number", "Offset": 30, "Shape Mode": "Layer", "Stroke Thickness": 4,
            "Vertex Offset": 20})",
         1,
         "\"Vertex Offset\" is ignored unless \"Mode\" is \"Vertex\" or \"Line\" on a closed mask\n"
         "\"Offset\" is ignored unless on a closed mask\n"
         "\"Stroke Thickness\" is ignored unless \"Shape Mode\" is \"Circle\", \"Polygon\" or \"Keyframe\"\n"},
        {"nothing ignored; greyed settings the scene leaves alone do not count", closedMask,
         R"("params": {"Shape Mode": "Polygon", "Side": 6, "Mode": "Line", "Line Loop": true, "Offset": 30})", 0, ""},
        {"used in a later frame", openMask,
         R"("frames": [0, 40], "params": {"Shape Mode": {"keyframes": [[0, 1], [1, 2]]}, "Side": 6})", 0, ""},
        {"ignored in every frame", openMask,
         R"("frames": [0, 20], "params": {"Shape Mode": {"keyframes": [[0, 1], [1, 2]]}, "Side": 6})", 1,
         "\"Side\" is ignored unless \"Shape Mode\" is \"Polygon\"\n"},
        {"effects each with their own values", openMask,
         R"("effects": [{"Shape Mode": "Polygon", "Side": 6}, {"Side": 5}])", 1,
         "effect 2: \"Side\" is ignored unless \"Shape Mode\" is \"Polygon\"\n"},
    };
    const std::string folder = scratchFolder();
    for (const auto &c : cases) {
        std::ostringstream out, err;
        EXPECT_EQ(pathbloom::runCheck(
                      {sceneFile(folder, c.mask, std::string(", ") + c.rest), mainPluginPath(), nullptr}, out, err),
                  c.status)
            << c.what;
        EXPECT_EQ(out.str(), c.out) << c.what;
        EXPECT_EQ(err.str(), "") << c.what;
    }
}

TEST(CheckCommand, AFailedUIUpdateExitsWithTwo) {
    const std::string folder = scratchFolder();
    const std::string scene = sceneFile(folder, closedMask, R"(, "params": {"Side": 6})");
    const std::pair<void (*)(minihost::Host &), std::string> cases[] = {
        {failingUpdate<1>, "the parameter UI update failed with error 512: ERROR\n"},  // the scene's own
        // The probing instance first takes the scene as it is, then "Mode" "Number".
        {failingUpdate<41>, "with \"Mode\" \"Number\", the parameter UI update failed with error 512: ERROR\n"},
    };
    for (const auto &[prepare, message] : cases) {
        std::ostringstream out, err;
        EXPECT_EQ(pathbloom::runCheck({scene, mainPluginPath(), prepare}, out, err), 2);
        EXPECT_EQ(out.str() + err.str(), "pathbloom: " + message);
    }
}

// The built command: a scene that sets nothing has nothing ignored; a scene
// fault is status 2.
TEST(CheckCommand, TheBuiltCommand) {
    const std::string folder = scratchFolder();
    writeTextFile(folder + "/scene.json", R"({"width": 8, "height": 8})");
    const CommandResult result = runPathbloom("check '" + folder + "/scene.json' --plugin '" + mainPluginPath() + "'");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out + result.err, "");
    const CommandResult missing = runPathbloom("check '" + folder + "/absent.json'");
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err, "pathbloom: " + folder + "/absent.json: cannot open the scene file\n");
}

TEST(InfoCommand, SceneShowsWhatTheControlPanelGreysOut) {
    const std::string folder = scratchFolder();
    const std::string scene = sceneFile(folder, openMask, R"(, "params": {"Order": "Random"})");
    std::ostringstream out, err;
    ASSERT_EQ(pathbloom::runInfo({mainPluginPath(), scene, nullptr}, out, err), 0) << err.str();
    // The numbers of the lines marked greyed: the choices and the open mask
    // grey "Sub Mode", the loop, both offsets, "Side", the layer and keyframe
    // rows and the phase rows; "Order Seed" works with "Order" "Random".
    std::string greyed;
    std::istringstream lines(out.str());
    for (std::string line; std::getline(lines, line);)
        if (line.size() > 13 && line.compare(5, 6, "greyed") == 0) greyed += line.substr(0, 3) + ",";
    EXPECT_EQ(greyed, "  3,  5,  6,  7, 20, 21, 22, 23, 24, 26, 27, 28, 29,");
    EXPECT_NE(out.str().find("\n 19          \"Shape Mode\""), std::string::npos);
}

// A failing UI update is the plug-in's message to the user: the render shows
// it and goes on.
TEST(RenderCommand, AFailedUIUpdateIsAWarning) {
    const std::string folder = scratchFolder();
    pathbloom::RenderOptions options;
    options.scenePath = sceneFile(folder, closedMask, "");
    options.output = folder + "/out";
    options.pluginPath = mainPluginPath();
    options.beforeUIUpdate = failingUpdate<2>;
    std::ostringstream out, err;
    EXPECT_EQ(pathbloom::runRender(options, out, err), 0);
    EXPECT_EQ(err.str(), "pathbloom: warning: the parameter UI update failed with error 512: ERROR\n");
    EXPECT_TRUE(std::filesystem::exists(folder + "/out/frame_0000.png"));
}

}  // namespace
