// `pathbloom info --json`: one JSON document whose parameters are the
// registered definitions, entry for entry.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstring>
#include <string>

#include "cli/info_command.h"
#include "cli/scene.h"
#include "tests/cli/cli_fixtures.h"

namespace {

// The first registered parameter of `type`, or null.
const PF_ParamDef *firstOfType(PF_ParamType type, int &index) {
    const std::vector<PF_ParamDef> &defs = registeredParams();
    for (size_t i = 1; i < defs.size(); ++i) {
        if (defs[i].param_type == type) {
            index = int(i);
            return &defs[i];
        }
    }
    return nullptr;
}

TEST(InfoJson, ParametersAreTheRegisteredDefinitions) {
    const CommandResult result = runPathbloom("info --json '" + mainPluginPath() + "'");
    ASSERT_EQ(result.status, 0) << result.err;
    const nlohmann::json info = nlohmann::json::parse(result.out);
    EXPECT_EQ(info.at("pluginFile"), mainPluginPath());
    EXPECT_EQ(info.at("propertyList").at("matchName"), "VomrelPathBloom by Orbenvail");
    EXPECT_EQ(info.at("about"), nlohmann::json({"VomrelPathBloom, v1.00", "Imagination!"}));
    const std::vector<PF_ParamDef> &defs = registeredParams();
    const nlohmann::json &params = info.at("parameters");
    ASSERT_EQ(params.size(), 63u);
    ASSERT_EQ(defs.size(), 64u);
    for (size_t i = 1; i < defs.size(); ++i) {
        const nlohmann::json &p = params[i - 1];
        EXPECT_EQ(p.at("index"), int(i));
        EXPECT_EQ(p.at("name"), pathbloom::paramName(defs[i])) << i;
        EXPECT_EQ(p.at("id"), defs[i].uu.id) << i;
        const bool supervised = (defs[i].flags & PF_ParamFlag_SUPERVISE) != 0;
        const auto &flags = p.at("flags");
        EXPECT_EQ(std::find(flags.begin(), flags.end(), "PF_ParamFlag_SUPERVISE") != flags.end(), supervised) << i;
    }

    // "Mode": its choices and default as registered.
    const auto mode = std::find_if(params.begin(), params.end(), [](const auto &p) { return p.at("name") == "Mode"; });
    ASSERT_NE(mode, params.end());
    const PF_ParamDef &modeDef = defs.at(size_t(mode->at("index").get<int>()));
    EXPECT_EQ(mode->at("type"), "popup");
    EXPECT_EQ(mode->at("choices"), pathbloom::popupChoices(modeDef));
    EXPECT_EQ(mode->at("choices").at(0), "Vertex");
    EXPECT_EQ(mode->at("default"), modeDef.u.pd.dephault);

    // The first float and integer sliders: ranges and defaults as registered.
    int index = 0;
    if (const PF_ParamDef *def = firstOfType(PF_Param_FLOAT_SLIDER, index)) {
        const nlohmann::json &p = params[size_t(index - 1)];
        EXPECT_EQ(p.at("type"), "float slider");
        EXPECT_EQ(p.at("default").get<float>(), def->u.fs_d.dephault) << index;
        EXPECT_EQ(p.at("valid").at("min").get<float>(), def->u.fs_d.valid_min) << index;
        EXPECT_EQ(p.at("valid").at("max").get<float>(), def->u.fs_d.valid_max) << index;
        EXPECT_EQ(p.at("slider").at("min").get<float>(), def->u.fs_d.slider_min) << index;
        EXPECT_EQ(p.at("slider").at("max").get<float>(), def->u.fs_d.slider_max) << index;
        EXPECT_EQ(p.at("precision"), def->u.fs_d.precision) << index;
    } else {
        ADD_FAILURE() << "no float slider registered";
    }
    if (const PF_ParamDef *def = firstOfType(PF_Param_SLIDER, index)) {
        const nlohmann::json &p = params[size_t(index - 1)];
        EXPECT_EQ(p.at("default"), def->u.sd.dephault) << index;
        EXPECT_EQ(p.at("valid"), nlohmann::json({{"min", def->u.sd.valid_min}, {"max", def->u.sd.valid_max}}));
        EXPECT_EQ(p.at("slider"), nlohmann::json({{"min", def->u.sd.slider_min}, {"max", def->u.sd.slider_max}}));
    } else {
        ADD_FAILURE() << "no integer slider registered";
    }
}

// Values in their units: 16.16 fixed as numbers, floats in their shortest
// decimal form, colours as text, flags by name.
TEST(InfoJson, ValuesOfHandMadeDefinitions) {
    PF_ParamDef slider{};
    slider.param_type = PF_Param_FLOAT_SLIDER;
    std::strcpy(slider.name, "Gain");
    slider.u.fs_d.valid_min = 0.1f;
    slider.u.fs_d.valid_max = 1e6f;
    slider.u.fs_d.slider_min = 0.0f;
    slider.u.fs_d.slider_max = 100.0f;
    slider.u.fs_d.dephault = 1.0f / 3.0f;
    slider.u.fs_d.precision = 2;
    slider.u.fs_d.display_flags = PF_ValueDisplayFlag_PERCENT;
    slider.flags = PF_ParamFlag_CANNOT_TIME_VARY | PF_ParamFlag_SUPERVISE;
    slider.ui_flags = PF_PUI_DISABLED;
    EXPECT_EQ(nlohmann::json::parse(pathbloom::paramJson(5, slider).dump()), nlohmann::json::parse(R"({
        "index": 5, "name": "Gain", "type": "float slider", "id": 0,
        "default": 0.33333334, "valid": {"min": 0.1, "max": 1000000.0}, "slider": {"min": 0.0, "max": 100.0},
        "precision": 2, "percent": true,
        "flags": ["PF_ParamFlag_CANNOT_TIME_VARY", "PF_ParamFlag_SUPERVISE"], "uiFlags": ["PF_PUI_DISABLED"]})"));

    PF_ParamDef angle{};
    angle.param_type = PF_Param_ANGLE;
    angle.u.ad.dephault = -45 * 65536 - 32768;  // -45.5 degrees
    EXPECT_EQ(pathbloom::paramJson(2, angle).at("default"), -45.5);
    EXPECT_FALSE(pathbloom::paramJson(2, angle).contains("valid"));

    PF_ParamDef colour{};
    colour.param_type = PF_Param_COLOR;
    colour.u.cd.dephault = PF_Pixel{255, 16, 32, 1};  // alpha, red, green, blue
    EXPECT_EQ(pathbloom::paramJson(3, colour).at("default"), "#102001ff");
}

}  // namespace
