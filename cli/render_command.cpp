// `pathbloom render`: loads the plug-in into minihost, reads the scene against
// the registered parameters and renders its frames into image files.
#include "cli/render_command.h"

#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
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

std::string counted(long count, const char *noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

}  // namespace

std::string streamReadLines(const minihost::Host &host, const std::vector<minihost::StreamRead> &reads,
                            size_t effectNumber) {
    std::string lines;
    for (const minihost::StreamRead &read : reads) {
        const PF_ParamDef &def = host.paramDefs.at(size_t(read.paramIndex));
        lines += "  ";
        if (effectNumber > 0) lines += "effect " + std::to_string(effectNumber) + ", ";
        lines += "\"" + std::string(def.name, strnlen(def.name, sizeof def.name)) +
                 "\": " + counted(read.keyframes, "keyframe") + ", ";
        lines += read.valuesRead > 0 ? counted(read.valuesRead, "value") + " read\n"
                                     : std::string("the parameter's own value is used\n");
    }
    return lines;
}

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

minihost::Image upsampleNearest(const minihost::Image &image, int width, int height, int x, int y) {
    minihost::Image result = minihost::makeImage(width, height, image.depth);
    const size_t pixelBytes = size_t(minihost::bytesPerPixel(image.depth));
    for (int row = 0; row < height; ++row) {
        const int fromRow = std::min(row / std::max(y, 1), image.height - 1);
        for (int column = 0; column < width; ++column) {
            const int fromColumn = std::min(column / std::max(x, 1), image.width - 1);
            std::memcpy(result.data.data() + (size_t(row) * size_t(width) + size_t(column)) * pixelBytes,
                        image.data.data() + (size_t(fromRow) * size_t(image.width) + size_t(fromColumn)) * pixelBytes,
                        pixelBytes);
        }
    }
    return result;
}

std::string frameFileName(int frame, const std::string &extension) {
    return printed("frame_%04d.%s", frame, extension.c_str());
}

int runRender(const RenderOptions &options, std::ostream &out, std::ostream &err) {
    // One effect instance to read the scene with; more once the scene asks.
    std::vector<std::unique_ptr<EffectSession>> sessions;
    std::string error;
    auto addSession = [&]() {
        auto session = std::make_unique<EffectSession>();
        if (!startEffect(*session, options.pluginPath, err)) return false;
        sessions.push_back(std::move(session));
        return true;
    };
    if (!addSession()) return 1;

    Scene scene;
    if (!loadScene(options.scenePath, sessions[0]->host.paramDefs, scene, error)) {
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
    while (sessions.size() < scene.effects.size())
        if (!addSession()) return 1;
    // The plug-in greys out what the scene's values make it ignore, as it
    // would in a host's control panel; a failure there is the plug-in's
    // message to the user, shown as a warning, and the frames still render.
    for (size_t e = 0; e < sessions.size(); ++e) {
        minihost::Host &host = sessions[e]->host;
        applyScene(host, scene, e);
        host.frame = scene.firstFrame;
        if (options.beforeUIUpdate) options.beforeUIUpdate(host);
        std::string failure;
        if (!updateUI(host, failure))
            err << "pathbloom: warning: " << (sessions.size() > 1 ? "effect " + std::to_string(e + 1) + ": " : "")
                << failure << "\n";
        if (options.prepareHost) options.prepareHost(host);
    }

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
        for (auto &session : sessions) {
            session->host.onProgress = drawProgress;
            session->host.progressContext = &bar;
        }
    }
    std::vector<std::string> frameFiles;
    for (int frame = scene.firstFrame; frame <= scene.lastFrame; ++frame) {
        bar.frame = frame;
        double milliseconds = 0;
        long placed = 0, drawn = 0;
        minihost::Image output;
        std::string streamLines;
        for (size_t e = 0; e < sessions.size(); ++e) {
            minihost::Host &host = sessions[e]->host;
            // The next effect's input is the last one's output, brought back
            // to full size so that the host's own downsampling returns it as is.
            if (e > 0)
                host.input = upsampleNearest(output, scene.width, scene.height, scene.downsampleX, scene.downsampleY);
            host.frame = frame;
            host.progressCalls = 0;
            host.progressCurrent = 0;
            host.progressTotal = 0;
            bar.lastPercent = -1;

            const auto started = std::chrono::steady_clock::now();
            minihost::RenderResult result = minihost::renderFrame(host);
            const auto finished = std::chrono::steady_clock::now();
            if (options.progressBar) err << "\r\033[K" << std::flush;
            const PF_Err renderError =
                result.preRenderError != PF_Err_NONE ? result.preRenderError : result.renderError;
            if (renderError != PF_Err_NONE) {
                err << "pathbloom: frame " << frame;
                if (sessions.size() > 1) err << ", effect " << e + 1;
                err << ": " << (result.preRenderError != PF_Err_NONE ? "pre-render" : "render") << " failed with error "
                    << renderError;
                if (!result.message.empty()) err << ": " << result.message;
                err << "\n";
                return 1;
            }
            const minihost::Ledger &ledger = host.ledger;
            if (ledger.suites || ledger.lockedHandles || ledger.worlds || ledger.checkouts || ledger.preRenderBlocks ||
                ledger.effects || ledger.streams || ledger.streamValues || ledger.invalidCalls)
                err << "pathbloom: warning: frame " << frame << " left " << ledger.suites << " suites, "
                    << ledger.lockedHandles << " handle locks, " << ledger.worlds << " worlds, " << ledger.checkouts
                    << " checkouts, " << ledger.preRenderBlocks << " pre-render blocks, " << ledger.effects
                    << " effects, " << ledger.streams << " streams and " << ledger.streamValues
                    << " stream values outstanding, " << ledger.invalidCalls << " invalid calls\n";
            if (options.stats)
                streamLines += streamReadLines(host, result.streamReads, sessions.size() > 1 ? e + 1 : 0);
            milliseconds += std::chrono::duration<double, std::milli>(finished - started).count();
            placed += host.progressTotal > 0 ? host.progressTotal - 1 : 0;
            drawn += host.progressCalls > 0 ? host.progressCalls - 1 : 0;
            output = std::move(result.output);
        }

        const std::string png = options.outputDir + "/" + frameFileName(frame, "png");
        const std::string exr = options.outputDir + "/" + frameFileName(frame, "exr");
        const FileWriter asPng = [&](const std::string &path, std::string &e) { return writePng(path, output, e); };
        const FileWriter asExr = [&](const std::string &path, std::string &e) { return writeExr(path, output, e); };
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
            out << printed("frame %4d  %9.2f ms  %8ld points placed  %8ld drawn\n", frame, milliseconds, placed, drawn)
                << streamLines << std::flush;
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
