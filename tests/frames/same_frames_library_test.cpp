// The same frames on every build: every scene in scenes/ rendered, every
// frame at 8-bit, 16-bit and float. The native build writes its frames as
// the reference (PATHBLOOM_FRAMES_WRITE); every other build (sanitizers,
// 32-bit Linux, Windows) compares its frames with them byte for byte and
// counts the pixels that differ.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/effect_session.h"
#include "cli/scene.h"
#include "tests/support/plugin_paths.h"

namespace {

namespace fs = std::filesystem;
using minihost::Depth;

const fs::path kScenes = fs::path(PATHBLOOM_SOURCE_DIR) / "scenes";
const fs::path kReference = PATHBLOOM_FRAMES_REFERENCE;
constexpr bool kWriteReference = PATHBLOOM_FRAMES_WRITE;

// Scene files relative to scenes/, sorted: the folder itself, examples/, bench/.
std::vector<std::string> sceneFiles() {
    std::vector<std::string> files;
    for (const char *folder : {"", "examples", "bench"})
        for (const fs::directory_entry &entry : fs::directory_iterator(kScenes / folder))
            if (entry.path().extension() == ".json")
                files.push_back((fs::path(folder) / entry.path().filename()).generic_string());
    std::sort(files.begin(), files.end());
    return files;
}

const char *depthText(Depth depth) { return depth == Depth::Bits8 ? "8" : depth == Depth::Bits16 ? "16" : "float"; }

fs::path referenceFile(const std::string &scene, int frame, Depth depth) {
    std::string name = scene;
    std::replace(name.begin(), name.end(), '/', '_');
    return kReference / (name + "." + std::to_string(frame) + "." + depthText(depth) + ".raw");
}

// Differing pixels between two frames of the same depth and size, and the
// largest difference of one channel (in code values; float in units of 2^-24).
struct Difference {
    long pixels = 0;
    double largest = 0;
};

double channel(const uint8_t *pixel, int c, Depth depth) {
    if (depth == Depth::Bits8) return pixel[c];
    if (depth == Depth::Bits16) {
        uint16_t value;
        std::memcpy(&value, pixel + 2 * c, 2);
        return value;
    }
    float value;
    std::memcpy(&value, pixel + 4 * c, 4);
    return double(value) * (1 << 24);
}

Difference compareFrames(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b, Depth depth) {
    Difference d;
    const size_t bytes = size_t(minihost::bytesPerPixel(depth));
    for (size_t at = 0; at + bytes <= a.size(); at += bytes) {
        if (std::memcmp(a.data() + at, b.data() + at, bytes) == 0) continue;
        ++d.pixels;
        for (int c = 0; c < 4; ++c)
            d.largest =
                std::max(d.largest, std::abs(channel(a.data() + at, c, depth) - channel(b.data() + at, c, depth)));
    }
    return d;
}

struct SameFrames : ::testing::TestWithParam<std::string> {};

TEST_P(SameFrames, AsTheNativeBuild) {
    const std::string scenePath = GetParam();
    std::ostringstream err;
    pathbloom::SceneEffects effects;
    const std::string plugin = pluginsUnderTest().front().path;
    ASSERT_TRUE(pathbloom::addEffect(effects, plugin, err)) << err.str();
    pathbloom::Scene scene;
    std::string error;
    ASSERT_TRUE(pathbloom::loadScene((kScenes / scenePath).string(), effects[0]->host.paramDefs, scene, error))
        << error;
    int frames = 0, same = 0;
    if (kWriteReference) fs::create_directories(kReference);
    for (Depth depth : {Depth::Bits8, Depth::Bits16, Depth::Float}) {
        scene.depth = depth;
        ASSERT_TRUE(pathbloom::startSceneEffects(effects, scene, plugin, nullptr, nullptr, err)) << err.str();
        for (int frame = scene.firstFrame; frame <= scene.lastFrame; ++frame) {
            const std::string what = scenePath + " frame " + std::to_string(frame) + " at " + depthText(depth);
            pathbloom::SceneFrame rendered;
            ASSERT_TRUE(pathbloom::renderSceneFrame(effects, scene, frame, false, rendered)) << rendered.failure;
            EXPECT_EQ(rendered.warnings, "") << what;
            const std::vector<uint8_t> &pixels = rendered.output->data;
            const fs::path file = referenceFile(scenePath, frame, depth);
            ++frames;
            if (kWriteReference) {
                std::ofstream(file, std::ios::binary)
                    .write(reinterpret_cast<const char *>(pixels.data()), std::streamsize(pixels.size()));
                ASSERT_EQ(fs::file_size(file), pixels.size()) << what;
                continue;
            }
            std::ifstream in(file, std::ios::binary);
            ASSERT_TRUE(in.is_open()) << file << " is missing: the native build's tests write it";
            const std::vector<uint8_t> reference((std::istreambuf_iterator<char>(in)),
                                                 std::istreambuf_iterator<char>());
            ASSERT_EQ(reference.size(), pixels.size()) << what;
            const Difference d = compareFrames(reference, pixels, depth);
            EXPECT_EQ(d.pixels, 0) << what << ": " << d.pixels << " pixels differ, by at most " << d.largest;
            same += d.pixels == 0;
        }
    }
    if (kWriteReference)
        std::printf("[ frames   ] %s: %d frames written as the reference\n", scenePath.c_str(), frames);
    else
        std::printf("[ frames   ] %s: %d of %d frames the same as the native build's\n", scenePath.c_str(), same,
                    frames);
}

std::string sceneTestName(const ::testing::TestParamInfo<std::string> &info) {
    std::string name = info.param.substr(0, info.param.size() - 5);
    for (char &c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Scenes, SameFrames, ::testing::ValuesIn(sceneFiles()), sceneTestName);

}  // namespace
