// `pathbloom render`: loads the plug-in into minihost, reads the scene against
// the registered parameters and renders its frames into image files.
#include "cli/render_command.h"

#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/contact_sheet.h"
#include "cli/effect_session.h"
#include "cli/image_io.h"
#include "cli/output_file.h"
#include "cli/printed.h"
#include "cli/scene.h"
#include "minihost/minihost.h"

namespace pathbloom {

namespace {

// What the progress bar shows; the plug-in's progress calls redraw it.
struct ProgressBar {
    std::ostream *err = nullptr;
    int frame = 0;
    int framesDone = 0, frameCount = 0;
    int lastPercent = -1;
};

void drawProgress(void *context, long current, long total) {
    auto &bar = *static_cast<ProgressBar *>(context);
    const int percent = progressPercent(current, total);
    if (percent == bar.lastPercent) return;
    bar.lastPercent = percent;
    const int width = 30;
    const int filled = percent * width / 100;
    *bar.err << "\rframe " << bar.frame << " (" << bar.framesDone + 1 << "/" << bar.frameCount << ") ["
             << std::string(size_t(filled), '#') << std::string(size_t(width - filled), ' ') << "] " << percent << "%"
             << std::flush;
}

bool parseInt(const std::string &text, int &value) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    value = std::stoi(text);
    return true;
}

}  // namespace

int progressPercent(long current, long total) {
    if (total <= 0) return 0;
    return static_cast<int>(std::clamp(100.0 * static_cast<double>(current) / static_cast<double>(total), 0.0, 100.0));
}

bool parseFrameRange(const std::string &text, int &first, int &last) {
    const auto dash = text.find('-');
    if (dash == std::string::npos) {
        if (!parseInt(text, first) || first > maxFrame) return false;
        last = first;
        return true;
    }
    return parseInt(text.substr(0, dash), first) && parseInt(text.substr(dash + 1), last) && first <= last &&
           last <= maxFrame;
}

bool parseDownsample(const std::string &text, int &x, int &y) {
    const auto comma = text.find(',');
    if (comma == std::string::npos) {
        if (!parseInt(text, x)) return false;
        y = x;
    } else if (!parseInt(text.substr(0, comma), x) || !parseInt(text.substr(comma + 1), y)) {
        return false;
    }
    return x >= 1 && y >= 1;
}

std::string frameFileName(int frame, const std::string &extension) {
    return printed("frame_%04d.%s", frame, extension.c_str());
}

int runRender(const RenderOptions &options, std::ostream &out, std::ostream &err) {
    // One effect instance to read the scene with; more once the scene asks.
    SceneEffects effects;
    std::string error;
    if (!addEffect(effects, options.pluginPath, err)) return 1;

    Scene scene;
    if (!loadScene(options.scenePath, effects[0]->host.paramDefs, scene, error)) {
        err << "pathbloom: " << error << "\n";
        return 1;
    }
    if (options.firstFrame >= 0) {
        scene.firstFrame = options.firstFrame;
        scene.lastFrame = options.lastFrame;
    }
    if (options.depth != 0) scene.depth = static_cast<minihost::Depth>(options.depth);
    if (options.downsampleX > 0) {
        scene.downsampleX = options.downsampleX;
        scene.downsampleY = options.downsampleY;
    }
    if (!startSceneEffects(effects, scene, options.pluginPath, options.beforeUIUpdate, options.prepareHost, err))
        return 1;

    // A folder that cannot take the frames is found before the first renders.
    std::error_code fsError;
    std::filesystem::create_directories(options.outputDir, fsError);
    if (fsError) {
        err << "pathbloom: cannot create " << options.outputDir << ": " << fsError.message() << "\n";
        return 1;
    }
    if (access(options.outputDir.c_str(), W_OK | X_OK) != 0) {
        err << "pathbloom: cannot write in " << options.outputDir << ": " << std::strerror(errno) << "\n";
        return 1;
    }

    ProgressBar bar;
    bar.err = &err;
    bar.frameCount = scene.lastFrame - scene.firstFrame + 1;
    if (options.progressBar) {
        for (auto &effect : effects) {
            effect->host.onProgress = drawProgress;
            effect->host.progressContext = &bar;
        }
    }
    std::vector<std::string> frameFiles;
    for (int frame = scene.firstFrame; frame <= scene.lastFrame; ++frame) {
        bar.frame = frame;
        SceneFrame rendered;
        const bool ok = renderSceneFrame(effects, scene, frame, options.stats, rendered);
        if (options.progressBar) err << "\r\033[K" << std::flush;
        err << rendered.warnings;
        if (!ok) {
            err << "pathbloom: " << rendered.failure << "\n";
            return 1;
        }
        const minihost::Image &output = rendered.output;

        const std::string png = options.outputDir + "/" + frameFileName(frame, "png");
        const std::string exr = options.outputDir + "/" + frameFileName(frame, "exr");
        const FileWriter asPng = [&](const std::string &path, std::string &e) {
            return writePng(path, output, e, options.png);
        };
        const FileWriter asExr = [&](const std::string &path, std::string &e) {
            return writeExr(path, output, e, options.exr);
        };
        bool written = true;
        if (scene.depth == minihost::Depth::Float) {
            written = writeWhole(exr, asExr, error) && (!options.preview || writeWhole(png, asPng, error));
            frameFiles.push_back(options.preview ? png : exr);
        } else {
            written = writeWhole(png, asPng, error);
            frameFiles.push_back(png);
        }
        if (!written) {
            err << "pathbloom: " << error << "\n";
            return 1;
        }
        if (options.stats) {
            out << printed("frame %4d  %9.2f ms  %8ld points placed  %8ld drawn\n", frame, rendered.milliseconds,
                           rendered.placed, rendered.drawn)
                << rendered.streamLines << std::flush;
        }
        ++bar.framesDone;
    }
    if (!options.contactSheet.empty() && !writeContactSheet(frameFiles, options.contactSheet, error)) {
        err << "pathbloom: " << error << "\n";
        return 1;
    }
    return 0;
}

}  // namespace pathbloom
