// `pathbloom check`, `info --scene` and the render's parameter UI update,
// driven by a stand-in UI handler wrapped around the real plug-in, so that
// the probing and its wording are tested on rules the test knows.
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

PF_EntryPointFunc pluginEntry = nullptr;

int indexNamed(const PF_InData *in, PF_ParamDef **params, const char *name) {
    for (int i = 1; i < in->num_params; ++i)
        if (std::strncmp(params[i]->name, name, sizeof params[i]->name) == 0) return i;
    return 0;
}

// The UI handler: greys out "Line Loop" unless "Mode" is 3 and "Sub Mode" 2,
// "Offset" on a closed mask, "Delay" when "Order" is 1, "Order Seed" always
// and "Side" unless "Shape Mode" is 2, through the host's suites as a
// plug-in does, "ERROR" shown on failure. Other commands go to the plug-in.
PF_Err standInEntry(PF_Cmd cmd, PF_InData *in, PF_OutData *out, PF_ParamDef **params, PF_LayerDef *output,
                    void *extra) {
    if (cmd != PF_Cmd_UPDATE_PARAMS_UI && cmd != PF_Cmd_USER_CHANGED_PARAM)
        return pluginEntry(cmd, in, out, params, output, extra);
    const auto value = [&](const char *name) { return params[indexNamed(in, params, name)]->u.pd.value; };
    const SPBasicSuite &basic = *in->pica_basicP;
    const void *query = nullptr, *data = nullptr, *utils = nullptr;
    basic.AcquireSuite(kPFPathQuerySuite, kPFPathQuerySuiteVersion1, &query);
    basic.AcquireSuite(kPFPathDataSuite, kPFPathDataSuiteVersion1, &data);
    basic.AcquireSuite(kPFParamUtilsSuite, kPFParamUtilsSuiteVersion2, &utils);
    const PF_PathID path = params[indexNamed(in, params, "Path")]->u.path_d.path_id;
    PF_PathOutlinePtr outline = nullptr;
    PF_Boolean open = 0;
    PF_Err err = static_cast<const PF_PathQuerySuite1 *>(query)->PF_CheckoutPath(
        in->effect_ref, path, in->current_time, in->time_step, in->time_scale, &outline);
    if (!err && outline)
        err = static_cast<const PF_PathDataSuite1 *>(data)->PF_PathIsOpen(in->effect_ref, outline, &open);
    static_cast<const PF_PathQuerySuite1 *>(query)->PF_CheckinPath(in->effect_ref, path, false, outline);
    const struct {
        const char *name;
        bool disabled;
    } rules[] = {
        {"Line Loop", value("Mode") != 3 || value("Sub Mode") != 2},
        {"Offset", outline && !open},
        {"Delay", value("Order") == 1},
        {"Order Seed", true},
        {"Side", value("Shape Mode") != 2},
    };
    for (const auto &rule : rules) {
        if (err) break;
        const int index = indexNamed(in, params, rule.name);
        PF_ParamDef copy = *params[index];
        copy.ui_flags = rule.disabled ? copy.ui_flags | PF_PUI_DISABLED : copy.ui_flags & ~PF_PUI_DISABLED;
        err = static_cast<const PF_ParamUtilsSuite2 *>(utils)->PF_UpdateParamUI(in->effect_ref, index, &copy);
    }
    basic.ReleaseSuite(kPFPathQuerySuite, kPFPathQuerySuiteVersion1);
    basic.ReleaseSuite(kPFPathDataSuite, kPFPathDataSuiteVersion1);
    basic.ReleaseSuite(kPFParamUtilsSuite, kPFParamUtilsSuiteVersion2);
    out->out_flags |= PF_OutFlag_REFRESH_UI;
    if (err) {
        std::strcpy(out->return_msg, "ERROR");
        out->out_flags |= PF_OutFlag_DISPLAY_ERROR_MESSAGE;
    }
    return err;
}

void standIn(minihost::Host &host) {
    if (host.entry != standInEntry) pluginEntry = host.entry;
    host.entry = standInEntry;
}

// The stand-in with the n-th PF_UpdateParamUI of each host failing; the
// stand-in makes five calls per update.
template <int n>
void standInFailing(minihost::Host &host) {
    standIn(host);
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
        {"every kind of reason", closedMask,
         R"("params": {"Shape Mode": "Circle", "Side": 6, "Line Loop": true, "Sub Mode": "Constant", "Offset": 30,
            "Delay": 50, "Order Seed": 3})",
         1,
         "\"Line Loop\" is ignored unless \"Mode\" is \"Line\" and \"Sub Mode\" is \"Dependent\"\n"
         "\"Offset\" is ignored unless on an open mask\n"
         "\"Delay\" is ignored unless \"Order\" is \"Inverse\" or \"Random\"\n"
         "\"Order Seed\" is ignored (no change of one or two modes, or of the mask, enables it)\n"
         "\"Side\" is ignored unless \"Shape Mode\" is \"Polygon\"\n"},
        {"nothing ignored; greyed settings the scene leaves alone do not count", openMask,
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
                      {sceneFile(folder, c.mask, std::string(", ") + c.rest), mainPluginPath(), standIn}, out, err),
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
        {standInFailing<1>, "the parameter UI update failed with error 512: ERROR\n"},  // the scene's own
        // The probing instance first takes the scene as it is, then "Mode" "Number".
        {standInFailing<6>, "with \"Mode\" \"Number\", the parameter UI update failed with error 512: ERROR\n"},
    };
    for (const auto &[prepare, message] : cases) {
        std::ostringstream out, err;
        EXPECT_EQ(pathbloom::runCheck({scene, mainPluginPath(), prepare}, out, err), 2);
        EXPECT_EQ(out.str() + err.str(), "pathbloom: " + message);
    }
}

// The built command with the plug-in's own handler: a scene that sets
// nothing has nothing ignored; a scene fault is status 2.
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
    ASSERT_EQ(pathbloom::runInfo({mainPluginPath(), scene, standIn}, out, err), 0) << err.str();
    std::string greyed;
    for (size_t at = out.str().find("  greyed  \""); at != std::string::npos; at = out.str().find("  greyed  ", at + 1))
        greyed += out.str().substr(at - 3, out.str().find('"', at + 11) - at + 4) + "|";
    EXPECT_EQ(greyed, "  5  greyed  \"Line Loop\"| 12  greyed  \"Order Seed\"| 20  greyed  \"Side\"|");
    EXPECT_NE(out.str().find("\n 19          \"Shape Mode\""), std::string::npos);
}

// A failing UI update is the plug-in's message to the user: the render shows
// it and goes on.
TEST(RenderCommand, AFailedUIUpdateIsAWarning) {
    const std::string folder = scratchFolder();
    pathbloom::RenderOptions options;
    options.scenePath = sceneFile(folder, closedMask, "");
    options.outputDir = folder + "/out";
    options.pluginPath = mainPluginPath();
    options.beforeUIUpdate = standInFailing<2>;
    std::ostringstream out, err;
    EXPECT_EQ(pathbloom::runRender(options, out, err), 0);
    EXPECT_EQ(err.str(), "pathbloom: warning: the parameter UI update failed with error 512: ERROR\n");
    EXPECT_TRUE(std::filesystem::exists(folder + "/out/frame_0000.png"));
}

}  // namespace
