// Scene files: every fault stops with one message naming the field; values
// reach the host in the units minihost takes.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "cli/image_io.h"
#include "cli/scene.h"
#include "tests/cli/cli_fixtures.h"

namespace {

using pathbloom::Scene;

struct SceneFault {
    const char *what;
    const char *text;     // the scene file
    const char *message;  // the whole message, or its start when `prefix`
    bool prefix;
};

// Faults whose text is too long to write out: a 100000-byte name, a list
// nested 3000 deep.
const std::string longKey(100000, 'k');
const std::string longFieldScene = R"({"width": 8, "height": 8, ")" + longKey + R"(": 1})";
const std::string longFieldMessage = "scene.json: " + longKey.substr(0, 57) + "...: unknown field";
const std::string longParamScene = R"({"width": 8, "height": 8, "params": {")" + longKey + R"(": 1}})";
const std::string longParamMessage = "scene.json: params.\"" + longKey.substr(0, 56) + "...: no parameter of that name";
const std::string deepScene = R"({"width": )" + std::string(3000, '[') + std::string(3000, ']') + "}";

const SceneFault sceneFaults[] = {
    {"long unknown field", longFieldScene.c_str(), longFieldMessage.c_str(), false},
    {"long parameter name", longParamScene.c_str(), longParamMessage.c_str(), false},
    {"deep nesting", deepScene.c_str(), "scene.json: bad JSON: nested deeper than 64 levels", false},
    {"nested value of the wrong type", R"({"height": 8, "width": [[[[[[[[[[1]]]]]]]]]]})",
     "scene.json: width: expected an integer, got a list [[[[...]]]]", false},
    {"duplicate key", R"({"width": 8, "height": 8, "width": 9})", R"(scene.json: bad JSON: duplicate key "width")",
     false},
    {"duplicate parameter", R"({"width": 8, "height": 8, "params": {"Start": 1, "End": 2, "Start": 3}})",
     R"(scene.json: bad JSON: duplicate key "Start")", false},
    {"mask keys of different sizes",
     R"({"width": 8, "height": 8, "masks": [{"keys": [{"frame": 0, "points": [[0, 0], [1, 1]]},
        {"frame": 2, "points": [[0, 0]]}]}]})",
     "scene.json: masks[0].keys[1].points: has 1 points, keys[0] has 2", false},
    {"mask points beside keys",
     R"({"width": 8, "height": 8, "masks": [{"points": [[0, 0]], "keys": [{"frame": 0, "points": [[0, 0]]}]}]})",
     R"(scene.json: masks[0].points: goes into each of "keys" when the mask has keys)", false},
    {"mask key without a time", R"({"width": 8, "height": 8, "masks": [{"keys": [{"points": [[0, 0]]}]}]})",
     "scene.json: masks[0].keys[0]: expected", true},
    {"NUL inside an image path", R"({"width": 8, "height": 8, "background": {"image": "back.png\u0000.txt"}})",
     "scene.json: background.image: contains a NUL character", false},
    {"unknown parameter", R"({"width": 8, "height": 8, "params": {"First Radios": 5}})",
     R"(scene.json: params."First Radios": no parameter of that name)", false},
    {"unknown choice", R"({"width": 8, "height": 8, "params": {"Mode": "Vertice"}})",
     R"(scene.json: params."Mode": "Vertice" is not one of "Vertex", "Number", "Line")", false},
    {"popup number outside the choices", R"({"width": 8, "height": 8, "params": {"Mode": 4}})",
     R"(scene.json: params."Mode": 4 is outside 1..3)", false},
    {"checkbox given a number", R"({"width": 8, "height": 8, "params": {"On Original": 1}})",
     R"(scene.json: params."On Original": expected true or false, got a number 1)", false},
    {"slider given a string", R"({"width": 8, "height": 8, "params": {"Number": "ten"}})",
     R"(scene.json: params."Number": expected an integer, got a string "ten")", false},
    {"integer slider given a fraction", R"({"width": 8, "height": 8, "params": {"Number": 2.5}})",
     R"(scene.json: params."Number": 2.5 is not an integer)", false},
    {"float slider out of range", R"({"width": 8, "height": 8, "params": {"First Radius": 5000}})",
     R"(scene.json: params."First Radius": 5000 is outside -1000..1000)", false},
    {"angle past what the host holds", R"({"width": 8, "height": 8, "params": {"Offset": 40000}})",
     R"(scene.json: params."Offset": 40000 is outside -32768..32767.99998)", false},
    {"percentage out of range", R"({"width": 8, "height": 8, "params": {"Start": 100.5}})",
     R"(scene.json: params."Start": 100.5 is outside 0..100)", false},
    {"integer slider out of range", R"({"width": 8, "height": 8, "params": {"Side": 2}})",
     R"(scene.json: params."Side": 2 is outside 3..16)", false},
    {"keyframe value out of range",
     R"({"width": 8, "height": 8, "params": {"End": {"keyframes": [[0, 0], [1, 150]]}}})",
     R"(scene.json: params."End".keyframes[1][1]: 150 is outside 0..100)", false},
    {"bad keyframe interpolation",
     R"({"width": 8, "height": 8, "params": {"Start": {"keyframes": [[0, 0]], "interpolation": "cubic"}}})",
     R"(scene.json: params."Start".interpolation: "cubic" is not "linear", "hold" or "ease")", false},
    {"keyframe not a pair", R"({"width": 8, "height": 8, "params": {"Start": {"keyframes": [[0, 0, 1]]}}})",
     R"(scene.json: params."Start".keyframes[0]: expected [seconds, value], {"seconds": S, "value": V} or {"frame": F, "value": V}, got a list [0,0,1])",
     false},
    {"keyframe with a frame and seconds",
     R"({"width": 8, "height": 8, "params": {"Start": {"keyframes": [{"frame": 2, "seconds": 1, "value": 0}]}}})",
     R"(scene.json: params."Start".keyframes[0]: expected [seconds, value], {"seconds": S, "value": V} or {"frame": F, "value": V}, got an object {"frame":2,"seconds":1,"value":0})",
     false},
    {"keyframe influence beyond 100 %",
     R"({"width": 8, "height": 8, "params": {"Start": {"keyframes": [{"seconds": 0, "value": 0, "easeIn": 101}]}}})",
     R"(scene.json: params."Start".keyframes[0].easeIn: 101 is outside 0.1..100)", false},
    {"keyframe frame before the start",
     R"({"width": 8, "height": 8, "start": 1001, "params": {"Start": {"keyframes": [{"frame": 12, "value": 0}]}}})",
     R"(scene.json: params."Start".keyframes[0].frame: 12 is outside 1001..1001001)", false},
    {"two keyframes at one time",
     R"({"width": 8, "height": 8, "params": {"Start": {"keyframes": [[0.5, 0], [0.5, 10]]}}})",
     R"(scene.json: params."Start".keyframes: two keyframes at 0.5 s)", false},
    {"malformed colour", R"({"width": 8, "height": 8, "params": {"Color": "#12345"}})",
     R"(scene.json: params."Color": "#12345" is not a colour ("#rrggbb" or "#rrggbbaa"))", false},
    {"colour channel out of range", R"({"width": 8, "height": 8, "params": {"Color": [0, 300, 0]}})",
     R"(scene.json: params."Color"[1]: 300 is outside 0..255)", false},
    {"group given a value", R"({"width": 8, "height": 8, "params": {"--Shape--": 1}})",
     R"(scene.json: params."--Shape--": is a parameter group and takes no value)", false},
    {"path beyond the masks",
     R"({"width": 8, "height": 8, "masks": [{"points": [[0, 0], [4, 4]]}], "params": {"Path": 2}})",
     R"(scene.json: params."Path": 2 is outside 0..1)", false},
    {"unknown layer", R"({"width": 8, "height": 8, "params": {"Layer": "logo"}})",
     R"(scene.json: params."Layer": no layer named "logo" in "layers")", false},
    {"missing width", R"({"height": 8})", R"(scene.json: width: missing)", false},
    {"missing height", R"({"width": 8})", R"(scene.json: height: missing)", false},
    {"unknown top-level field", R"({"width": 8, "height": 8, "widht": 8})", R"(scene.json: widht: unknown field)",
     false},
    {"bad depth", R"({"width": 8, "height": 8, "depth": 12})", R"(scene.json: depth: 12 is not 8, 16 or 32)", false},
    {"fps too low for a whole tick", R"({"width": 8, "height": 8, "fps": 0.0004})",
     R"(scene.json: fps: 0.0004 is outside 0.01..10000)", false},
    {"fps past the host's time scale", R"({"width": 8, "height": 8, "fps": 214749})",
     R"(scene.json: fps: 214749 is outside 0.01..10000)", false},
    {"frame past the last", R"({"width": 8, "height": 8, "frames": [0, 1000001]})",
     R"(scene.json: frames[1]: 1000001 is outside 0..1000000)", false},
    {"frames backwards", R"({"width": 8, "height": 8, "frames": [5, 2]})",
     R"(scene.json: frames: last frame 2 is before first 5)", false},
    {"mask without points", R"({"width": 8, "height": 8, "masks": [{"closed": true}]})",
     R"(scene.json: masks[0].points: missing)", false},
    {"mask with empty points", R"({"width": 8, "height": 8, "masks": [{"points": []}]})",
     R"(scene.json: masks[0].points: expected a non-empty list of [x, y], got a list [])", false},
    {"mask point not a pair", R"({"width": 8, "height": 8, "masks": [{"points": [[1, 2], [3]]}]})",
     R"(scene.json: masks[0].points[1]: expected [x, y], got a list [3])", false},
    {"tangents not matching the points",
     R"({"width": 8, "height": 8, "masks": [{"points": [[1, 2], [3, 4]], "in": [[0, 0]]}]})",
     R"(scene.json: masks[0].in: has 1 tangents for 2 points)", false},
    {"missing background file", R"({"width": 8, "height": 8, "background": {"image": "nothere.png"}})",
     "scene.json: background.image: cannot open ", true},
    {"missing layer file", R"({"width": 8, "height": 8, "layers": {"logo": {"image": "nothere.png"}}})",
     R"(scene.json: layers."logo".image: cannot open )", true},
    {"effects and params together", R"({"width": 8, "height": 8, "params": {}, "effects": [{}]})",
     R"(scene.json: effects: cannot be given together with "params")", false},
    {"empty effects", R"({"width": 8, "height": 8, "effects": []})",
     R"(scene.json: effects: expected a non-empty list of parameter objects, got a list [])", false},
    {"fault in the second effect", R"({"width": 8, "height": 8, "effects": [{"Mode": "Line"}, {"Mode": "Lines"}]})",
     R"(scene.json: effects[1]."Mode": "Lines" is not one of "Vertex", "Number", "Line")", false},
    {"bad JSON", R"({"width": 8, "height": 8,})", "scene.json: bad JSON: parse error at line 1, column 26", true},
};

class SceneFaults : public ::testing::TestWithParam<SceneFault> {};

TEST_P(SceneFaults, StopWithOneMessageNamingTheField) {
    const SceneFault &fault = GetParam();
    Scene scene;
    std::string error;
    EXPECT_FALSE(pathbloom::parseScene(fault.text, "scene.json", scratchFolder(), registeredParams(), scene, error));
    if (fault.prefix)
        EXPECT_EQ(error.substr(0, std::string(fault.message).size()), fault.message) << error;
    else
        EXPECT_EQ(error, fault.message);
    EXPECT_EQ(error.find('\n'), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Table, SceneFaults, ::testing::ValuesIn(sceneFaults),
                         [](const ::testing::TestParamInfo<SceneFault> &info) {
                             std::string name = info.param.what;
                             for (char &c : name)
                                 if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

Scene parsed(const std::string &text) {
    Scene scene;
    std::string error;
    EXPECT_TRUE(pathbloom::parseScene(text, "scene.json", scratchFolder(), registeredParams(), scene, error)) << error;
    return scene;
}

const pathbloom::SceneParam *findParam(const Scene &scene, const char *name) {
    for (const pathbloom::SceneParam &param : scene.effects.at(0).params)
        if (std::string(registeredParams()[size_t(param.index)].name) == name) return &param;
    return nullptr;
}

TEST(SceneValues, DefaultsOfTheSceneFields) {
    const Scene scene = parsed(R"({"width": 6, "height": 4, "comment": "ignored"})");
    EXPECT_EQ(scene.depth, minihost::Depth::Bits8);
    EXPECT_EQ(scene.fps, 30);
    EXPECT_EQ(scene.firstFrame, 0);
    EXPECT_EQ(scene.lastFrame, 0);
    EXPECT_EQ(scene.start, 0);
    EXPECT_EQ(scene.downsampleX, 1);
    EXPECT_EQ(scene.downsampleY, 1);
    ASSERT_EQ(scene.effects.size(), 1u);
    EXPECT_TRUE(scene.effects[0].params.empty());
    ASSERT_EQ(scene.background.data.size(), 6u * 4u * 4u);
    for (uint8_t byte : scene.background.data) EXPECT_EQ(byte, 0);  // transparent black
}

TEST(SceneValues, ColoursFromTextAndLists) {
    struct Case {
        const char *value;
        PF_Pixel expected;  // alpha, red, green, blue
    };
    const Case cases[] = {
        {R"("#10203040")", {0x40, 0x10, 0x20, 0x30}},
        {R"("#A0b0C0")", {0xff, 0xa0, 0xb0, 0xc0}},
        {"[1, 2, 3]", {255, 1, 2, 3}},
        {"[1, 2, 3, 4]", {4, 1, 2, 3}},
    };
    for (const Case &c : cases) {
        const Scene scene = parsed(std::string(R"({"width": 2, "height": 2, "params": {"Color": )") + c.value + "}}");
        const pathbloom::SceneParam *color = findParam(scene, "Color");
        ASSERT_NE(color, nullptr);
        const PF_Pixel &got = color->track.value.color;
        EXPECT_EQ(got.alpha, c.expected.alpha) << c.value;
        EXPECT_EQ(got.red, c.expected.red) << c.value;
        EXPECT_EQ(got.green, c.expected.green) << c.value;
        EXPECT_EQ(got.blue, c.expected.blue) << c.value;
    }
}

TEST(SceneValues, NumbersInUserUnits) {
    struct Case {
        const char *name;
        const char *value;
        double expected;
    };
    const Case cases[] = {
        {"Mode", R"("Line")", 3},
        {"Mode", "2", 2},
        {"Blend Mode", R"("Hard Mix")", 19},
        {"Stroke Mode", R"("Dependent")", 4},
        {"On Original", "false", 0},
        {"Depend On Path", "true", 1},
        {"Start", "12.5", 12.5},  // percent
        {"Offset", "-90", -90},   // degrees, any value
        {"Delta Hue", "720", 720},
        {"First Radius", "-1000", -1000},  // pixels, at the edge of the range
        {"Delta Lightness", "-100", -100},
        {"Number", "50000", 50000},
        {"Number", "3.0", 3},
    };
    for (const Case &c : cases) {
        const Scene scene =
            parsed(std::string(R"({"width": 2, "height": 2, "params": {")") + c.name + "\": " + c.value + "}}");
        const pathbloom::SceneParam *param = findParam(scene, c.name);
        ASSERT_NE(param, nullptr) << c.name;
        EXPECT_EQ(param->track.value.number, c.expected) << c.name << " " << c.value;
        EXPECT_TRUE(param->track.keyframes.empty());
    }
}

TEST(SceneValues, PathAndLayerByNumberAndName) {
    const Scene scene = parsed(R"({"width": 4, "height": 4,
        "masks": [{"points": [[0, 0], [3, 3]]}, {"closed": false, "points": [[1, 1]]}],
        "layers": {"dot": {"width": 2, "height": 3, "color": "#ff000080"}},
        "params": {"Path": 2, "Layer": "dot"}})");
    EXPECT_EQ(findParam(scene, "Path")->track.value.number, 2);
    EXPECT_EQ(findParam(scene, "Layer")->track.value.number, 1);
    ASSERT_EQ(scene.layers.size(), 1u);
    EXPECT_EQ(scene.layers[0].image.width, 2);
    EXPECT_EQ(scene.layers[0].image.height, 3);
    EXPECT_EQ(scene.layers[0].image.data[0], 0x80);  // alpha first
    EXPECT_EQ(scene.layers[0].image.data[1], 0xff);
    ASSERT_EQ(scene.masks.size(), 2u);
    EXPECT_TRUE(scene.masks[0].closed);
    EXPECT_FALSE(scene.masks[1].closed);

    const Scene none = parsed(R"({"width": 4, "height": 4, "params": {"Path": 0, "Layer": null}})");
    EXPECT_EQ(findParam(none, "Path")->track.value.number, 0);
    EXPECT_EQ(findParam(none, "Layer")->track.value.number, 0);
}

TEST(SceneValues, MaskTangentsAreOffsets) {
    const Scene scene = parsed(R"({"width": 4, "height": 4, "masks": [{"points": [[1, 2], [3, 4]],
        "in": [[-1, 0], [0, -1]], "out": [[1, 0.5], [0, 1]]}]})");
    const minihost::Mask &mask = scene.masks[0];
    ASSERT_EQ(mask.vertices.size(), 2u);
    EXPECT_EQ(mask.vertices[1].x, 3);
    EXPECT_EQ(mask.vertices[1].y, 4);
    EXPECT_EQ(mask.vertices[0].inX, -1);
    EXPECT_EQ(mask.vertices[1].inY, -1);
    EXPECT_EQ(mask.vertices[0].outY, 0.5);
    EXPECT_EQ(mask.vertices[1].outX, 0);
}

TEST(SceneValues, KeyframesSortedWithTheirInterpolation) {
    const Scene scene = parsed(R"({"width": 2, "height": 2, "params": {
        "Start": {"keyframes": [[1, 50], [0, 10]]},
        "Shape Mode": {"keyframes": [[0, "Circle"], [0.5, "Polygon"]], "interpolation": "hold"}}})");
    const pathbloom::SceneParam *start = findParam(scene, "Start");
    ASSERT_EQ(start->track.keyframes.size(), 2u);
    EXPECT_EQ(start->track.keyframes[0].seconds, 0);
    EXPECT_EQ(start->track.keyframes[0].value.number, 10);
    EXPECT_EQ(start->track.keyframes[1].seconds, 1);
    EXPECT_EQ(start->track.keyframes[1].value.number, 50);
    EXPECT_EQ(start->track.interpolation, minihost::Interpolation::Linear);
    const pathbloom::SceneParam *shape = findParam(scene, "Shape Mode");
    EXPECT_EQ(shape->track.interpolation, minihost::Interpolation::Hold);
    EXPECT_EQ(shape->track.keyframes[1].value.number, 2);
}

// A keyframe's frame is in the scene's numbering: frame start + f is at
// f / fps seconds, as the frame itself renders.
TEST(SceneValues, KeyframesAtFrames) {
    const Scene scene = parsed(R"({"width": 8, "height": 8, "fps": 25, "start": 1001, "params": {
        "Start": {"keyframes": [{"frame": 1011, "value": 50, "easeIn": 75}, {"seconds": 0.1, "value": 10, "easeOut": 0.1},
        [2, 70]], "interpolation": "ease"}}})");
    const pathbloom::SceneParam *start = findParam(scene, "Start");
    ASSERT_NE(start, nullptr);
    ASSERT_EQ(start->track.keyframes.size(), 3u);
    EXPECT_EQ(start->track.keyframes[0].seconds, 0.1);
    EXPECT_EQ(start->track.keyframes[1].seconds, 0.4);
    EXPECT_EQ(start->track.keyframes[1].value.number, 50);
    EXPECT_EQ(start->track.keyframes[2].seconds, 2);
    EXPECT_EQ(start->track.keyframes[0].easeOut, 0.001);
    EXPECT_EQ(start->track.keyframes[1].easeIn, 0.75);
    EXPECT_EQ(start->track.keyframes[1].easeOut, 1.0 / 3);
}

TEST(SceneValues, PopupsColoursAndIntegerSlidersTakeKeyframes) {
    minihost::Host host;
    std::string error;
    ASSERT_TRUE(minihost::openPlugin(host, mainPluginPath(), error)) << error;
    ASSERT_EQ(minihost::setupEffect(host), PF_Err_NONE);
    Scene scene;
    ASSERT_TRUE(pathbloom::parseScene(R"({"width": 2, "height": 2, "params": {
        "Mode": {"keyframes": [[0, "Vertex"], [1, 3]]},
        "Color": {"keyframes": [[0, "#000000"], [1, [255, 255, 100]]]},
        "Keyframe": {"keyframes": [[0, 1], [1, 16]], "interpolation": "ease"}}})",
                                      "scene.json", "", host.paramDefs, scene, error))
        << error;
    pathbloom::applyScene(host, scene);
    const int mode = minihost::paramIndex(host, "Mode"), color = minihost::paramIndex(host, "Color"),
              keyframe = minihost::paramIndex(host, "Keyframe");
    // What a checkout hands out: popups hold, colours mix per channel and
    // round, the integer slider rounds 1 + 15 * smoothstep(t).
    const struct {
        double seconds;
        A_long mode, keyframe;
        int grey, blue;
    } cases[] = {
        {0, 1, 1, 0, 0}, {0.25, 1, 3, 64, 25}, {0.5, 1, 9, 128, 50}, {0.99, 1, 16, 252, 99}, {1, 3, 16, 255, 100}};
    for (const auto &c : cases) {
        EXPECT_EQ(minihost::paramDefAt(host, mode, c.seconds).u.pd.value, c.mode) << c.seconds;
        EXPECT_EQ(minihost::paramDefAt(host, keyframe, c.seconds).u.sd.value, c.keyframe) << c.seconds;
        const PF_Pixel p = minihost::paramDefAt(host, color, c.seconds).u.cd.value;
        EXPECT_EQ((std::vector<int>{p.alpha, p.red, p.green, p.blue}), (std::vector<int>{255, c.grey, c.grey, c.blue}))
            << c.seconds;
    }
    EXPECT_EQ(minihost::teardownEffect(host), PF_Err_NONE);
}

TEST(SceneValues, EffectsInTheirOrder) {
    const Scene scene = parsed(R"({"width": 2, "height": 2, "effects": [
        {"comment": "first", "Mode": "Line"}, {"Mode": "Number", "On Original": true}]})");
    ASSERT_EQ(scene.effects.size(), 2u);
    ASSERT_EQ(scene.effects[0].params.size(), 1u);
    EXPECT_EQ(scene.effects[0].params[0].track.value.number, 3);
    ASSERT_EQ(scene.effects[1].params.size(), 2u);
    EXPECT_EQ(scene.effects[1].params[0].track.value.number, 2);
}

// A registered name that fills its 32 bytes has no NUL: the reader matches it
// by those bytes and does not read on into the definition's flags.
TEST(SceneValues, ANameThatFillsItsFieldIsFound) {
    std::vector<PF_ParamDef> defs(2);
    defs[1].param_type = PF_Param_SLIDER;
    std::memset(defs[1].name, 'n', sizeof defs[1].name);
    defs[1].flags = 'x';
    defs[1].u.sd.valid_max = 9;
    Scene scene;
    std::string error;
    ASSERT_TRUE(pathbloom::parseScene(R"({"width": 2, "height": 2, "params": {")" + std::string(32, 'n') + R"(": 4}})",
                                      "scene.json", "", defs, scene, error))
        << error;
    ASSERT_EQ(scene.effects[0].params.size(), 1u);
    EXPECT_EQ(scene.effects[0].params[0].track.value.number, 4);
}

TEST(SceneValues, BackgroundImageIsReadBesideTheScene) {
    const std::string folder = scratchFolder();
    minihost::Image image = minihost::solidImage(3, 2, PF_Pixel{200, 10, 20, 30}, minihost::Depth::Bits8);
    std::string error;
    ASSERT_TRUE(pathbloom::writePng(folder + "/back.png", image, error)) << error;
    writeTextFile(folder + "/scene.json", R"({"width": 3, "height": 2, "background": {"image": "back.png"}})");
    Scene scene;
    ASSERT_TRUE(pathbloom::loadScene(folder + "/scene.json", registeredParams(), scene, error)) << error;
    EXPECT_EQ(scene.background.data, image.data);

    writeTextFile(folder + "/wrong.json", R"({"width": 4, "height": 2, "background": {"image": "back.png"}})");
    EXPECT_FALSE(pathbloom::loadScene(folder + "/wrong.json", registeredParams(), scene, error));
    EXPECT_EQ(error, folder +
                         "/wrong.json: background.image: is 3x2, the scene is 4x2 (\"fit\": \"stretch\", \"contain\" "
                         "or \"cover\" scales it)");
}

TEST(SceneValues, AppliedSceneDrivesTheHost) {
    minihost::Host host;
    std::string error;
    ASSERT_TRUE(minihost::openPlugin(host, mainPluginPath(), error)) << error;
    ASSERT_EQ(minihost::setupEffect(host), PF_Err_NONE);
    Scene scene;
    ASSERT_TRUE(pathbloom::parseScene(R"({"width": 5, "height": 3, "depth": 16, "fps": 10,
        "background": "#ff000080", "masks": [{"points": [[0, 0], [4, 2]]}],
        "params": {"Mode": "Number", "Start": {"keyframes": [[0, 0], [1, 50]]}}})",
                                      "scene.json", "", host.paramDefs, scene, error))
        << error;
    pathbloom::applyScene(host, scene);
    EXPECT_EQ(host.depth, minihost::Depth::Bits16);
    EXPECT_EQ(host.fps, 10);
    EXPECT_EQ(host.input.depth, minihost::Depth::Bits16);
    EXPECT_EQ(host.input.width, 5);
    EXPECT_EQ(host.masks.size(), 1u);
    const int mode = minihost::paramIndex(host, "Mode");
    const int start = minihost::paramIndex(host, "Start");
    EXPECT_EQ(minihost::paramValueAt(host, mode, 0).number, 2);
    EXPECT_DOUBLE_EQ(minihost::paramValueAt(host, start, 0.5).number, 25);
    EXPECT_EQ(minihost::teardownEffect(host), PF_Err_NONE);
}

}  // namespace

namespace {

// Background images of another size, fitted: scene pixels are the area
// average of the image under them, worked out here by hand.
TEST(SceneValues, BackgroundFits) {
    const std::string folder = scratchFolder();
    minihost::Image picture = minihost::makeImage(3, 1, minihost::Depth::Bits8);
    const uint8_t argb[12] = {255, 255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255};  // red, green, blue
    std::memcpy(picture.data.data(), argb, sizeof argb);
    std::string error;
    ASSERT_TRUE(pathbloom::writePng(folder + "/rgb.png", picture, error)) << error;
    using Pixel = std::array<int, 4>;
    const Pixel red{255, 255, 0, 0}, green{255, 0, 255, 0}, blue{255, 0, 0, 255}, clear{0, 0, 0, 0};
    // Stretched to 2 wide, pixel 0 covers red and half of green: alpha 1,
    // red 255 / 1.5 = 170, green 127.5 / 1.5 = 85.
    const Pixel redGreen{255, 170, 85, 0}, greenBlue{255, 0, 85, 170};
    const struct {
        const char *fit;
        int width, height;
        std::vector<Pixel> pixels;  // row after row
    } cases[] = {
        {"stretch", 2, 2, {redGreen, greenBlue, redGreen, greenBlue}},
        // 3x1 scaled by 2 to 6x2 in 6x4: rows 1 and 2, bars above and below.
        {"contain", 6, 4, {clear, clear, clear, clear, clear, clear, red,   red,   green, green, blue,  blue,
                           red,   red,   green, green, blue,  blue,  clear, clear, clear, clear, clear, clear}},
        // Scaled by 2 to 6x2 to cover 2x2: the middle, green.
        {"cover", 2, 2, std::vector<Pixel>(4, green)}};
    for (const auto &c : cases) {
        Scene scene;
        const std::string text = "{\"width\": " + std::to_string(c.width) +
                                 ", \"height\": " + std::to_string(c.height) +
                                 R"(, "background": {"image": "rgb.png", "fit": ")" + c.fit + "\"}}";
        ASSERT_TRUE(pathbloom::parseScene(text, "scene.json", folder, registeredParams(), scene, error)) << error;
        ASSERT_EQ(scene.background.width, c.width);
        for (size_t i = 0; i < c.pixels.size(); ++i)
            for (size_t ch = 0; ch < 4; ++ch)
                EXPECT_EQ(scene.background.data[i * 4 + ch], c.pixels[i][ch]) << c.fit << " pixel " << i << " " << ch;
    }
    Scene scene;
    EXPECT_FALSE(
        pathbloom::parseScene(R"({"width": 3, "height": 1, "background": {"image": "rgb.png", "fit": "fill"}})",
                              "scene.json", folder, registeredParams(), scene, error));
    EXPECT_EQ(error, "scene.json: background.fit: \"fill\" is not \"stretch\", \"contain\" or \"cover\"");
}

}  // namespace

namespace {

// 16-bit PNG and float EXR backgrounds keep their depth (the host converts
// them to the render's), and fit as 8-bit ones do.
TEST(SceneValues, DeepBackgrounds) {
    const std::string folder = scratchFolder();
    minihost::Image deep = minihost::makeImage(2, 1, minihost::Depth::Bits16);
    const uint16_t argb16[8] = {32768, 32768, 1000, 0, 16384, 0, 0, 32768};
    std::memcpy(deep.data.data(), argb16, sizeof argb16);
    minihost::Image floats = minihost::makeImage(2, 1, minihost::Depth::Float);
    const float argbF[8] = {1, 0.25f, 0.5f, 2, 1, 0.75f, 0.5f, 0};
    std::memcpy(floats.data.data(), argbF, sizeof argbF);
    std::string error;
    ASSERT_TRUE(pathbloom::writePng(folder + "/deep.png", deep, error)) << error;
    ASSERT_TRUE(pathbloom::writeExr(folder + "/floats.exr", floats, error)) << error;
    Scene scene;
    ASSERT_TRUE(pathbloom::parseScene(R"({"width": 2, "height": 1, "background": {"image": "deep.png"}})", "scene.json",
                                      folder, registeredParams(), scene, error))
        << error;
    ASSERT_EQ(scene.background.depth, minihost::Depth::Bits16);
    EXPECT_EQ(std::memcmp(scene.background.data.data(), argb16, sizeof argb16), 0);
    ASSERT_TRUE(
        pathbloom::parseScene(R"({"width": 1, "height": 1, "background": {"image": "floats.exr", "fit": "stretch"}})",
                              "scene.json", folder, registeredParams(), scene, error))
        << error;
    ASSERT_EQ(scene.background.depth, minihost::Depth::Float);
    float mean[4];
    std::memcpy(mean, scene.background.data.data(), sizeof mean);
    // Both pixels opaque: the plain mean of each colour channel.
    const float expected[4] = {1, 0.5f, 0.5f, 1};
    for (int c = 0; c < 4; ++c) EXPECT_FLOAT_EQ(mean[c], expected[c]) << c;
}

}  // namespace
