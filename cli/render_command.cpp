// `pathbloom render`: loads the plug-in into minihost, reads the scene against
// the registered parameters, picks the frames and their files, and renders
// them in worker processes, reporting them in frame order.
#include "cli/render_command.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "cli/animated_preview.h"
#include "cli/contact_sheet.h"
#include "cli/effect_session.h"
#include "cli/image_io.h"
#include "cli/output_file.h"
#include "cli/printed.h"
#include "cli/render_workers.h"
#include "cli/scene.h"
#include "minihost/minihost.h"

namespace pathbloom {

namespace {

using json = nlohmann::ordered_json;

// The plug-in's progress calls, in a worker, for the parent's bar.
void reportProgress(void *, long current, long total) { setWorkerPercent(progressPercent(current, total)); }

double millisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

std::string dumped(const json &value) { return value.dump(-1, ' ', false, json::error_handler_t::replace); }

// In a worker: renders frame `number` and writes its files. The report is a
// JSON object: times, counts, stream reads, warnings and the failure.
bool renderAndWrite(SceneEffects &effects, const Scene &scene, int number, const std::vector<FrameFile> &files,
                    const RenderOptions &options, std::string &report) {
    const bool stats = options.stats;
    SceneFrame rendered;
    bool ok = renderSceneFrame(effects, scene, number - scene.start, stats, rendered);
    double encodeMilliseconds = 0;
    if (ok) {
        const auto started = std::chrono::steady_clock::now();
        const minihost::Image &output = *rendered.output;
        for (const FrameFile &file : files) {
            const FileWriter writer = [&](const std::string &path, std::string &error) {
                return file.format == ImageFormat::Png ? writePng(path, output, error, options.png)
                                                       : writeExr(path, output, error, options.exr);
            };
            if (!writeWhole(file.path, writer, rendered.failure)) {
                ok = false;
                break;
            }
        }
        encodeMilliseconds = millisecondsSince(started);
    }
    json streams = json::array();
    for (const StreamStat &stream : rendered.streams)
        streams.push_back({{"effect", stream.effect},
                           {"name", stream.name},
                           {"keyframes", stream.keyframes},
                           {"valuesRead", stream.valuesRead}});
    report = dumped({{"milliseconds", rendered.milliseconds},
                     {"encodeMilliseconds", encodeMilliseconds},
                     {"placed", rendered.placed},
                     {"drawn", rendered.drawn},
                     {"streams", streams},
                     {"streamLines", rendered.streamLines},
                     {"warnings", rendered.warnings},
                     {"failure", rendered.failure}});
    return ok;
}

// A frame's report as the parent holds it until its turn to be printed.
struct FrameOutcome {
    bool reported = false, ok = false;
    json record;  // renderAndWrite's report
};

std::string signalName(int signal) { return signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "a signal"; }

}  // namespace

int progressPercent(long current, long total) {
    if (total <= 0) return 0;
    return static_cast<int>(std::clamp(100.0 * static_cast<double>(current) / static_cast<double>(total), 0.0, 100.0));
}

bool parseDownsample(const std::string &text, int &x, int &y) {
    const auto comma = text.find(',');
    if (comma == std::string::npos) {
        if (!parseNumber(text, x)) return false;
        y = x;
    } else if (!parseNumber(text.substr(0, comma), x) || !parseNumber(text.substr(comma + 1), y)) {
        return false;
    }
    return x >= 1 && y >= 1;
}

int runRender(const RenderOptions &options, std::ostream &out, std::ostream &err) {
    const auto began = std::chrono::steady_clock::now();
    std::vector<FrameSpan> spans;
    if (!options.frames.empty() && !parseFrameSpans(options.frames, spans)) {
        err << "pathbloom: --frames: \"" << options.frames << "\" is not a list of A, A-B or A-BxN (frames 0.."
            << maxFrameNumber << ")\n";
        return 2;
    }
    OutputNaming naming;
    std::string error;
    if (!parseOutput(options.output, naming, error)) {
        err << "pathbloom: " << error << "\n";
        return 2;
    }
    if (options.jobs < 0 || options.jobs > maxJobs) {
        err << "pathbloom: --jobs: " << options.jobs << " is outside 1.." << maxJobs << "\n";
        return 2;
    }
    if (!options.preview.empty() && previewFormatOf(options.preview) == PreviewFormat::none) {
        err << "pathbloom: --preview: \"" << options.preview << "\" does not end in .mp4, .webp or .gif\n";
        return 2;
    }
    if (options.previewWidth < 0 || options.previewWidth > maxPreviewWidth) {
        err << "pathbloom: --preview-width: " << options.previewWidth << " is outside 1.." << maxPreviewWidth << "\n";
        return 2;
    }

    // One effect instance to read the scene with; more once the scene asks.
    SceneEffects effects;
    if (!addEffect(effects, options.pluginPath, err)) return 1;
    Scene scene;
    if (!loadScene(options.scenePath, effects[0]->host.paramDefs, scene, error)) {
        err << "pathbloom: " << error << "\n";
        return 1;
    }
    if (options.depth != 0) scene.depth = static_cast<minihost::Depth>(options.depth);
    if (options.downsampleX > 0) {
        scene.downsampleX = options.downsampleX;
        scene.downsampleY = options.downsampleY;
    }
    const int firstNumber = scene.start + scene.firstFrame, lastNumber = scene.start + scene.lastFrame;
    if (spans.empty()) spans.push_back({firstNumber, lastNumber, 1});
    std::vector<int> frames;
    if (!selectFrames(spans, firstNumber, lastNumber, frames, error)) {
        err << "pathbloom: --frames: " << error << "\n";
        return 1;
    }
    if (!startSceneEffects(effects, scene, options.pluginPath, options.beforeUIUpdate, options.prepareHost, err))
        return 1;

    // A folder that cannot take the frames is found before the first renders.
    std::error_code fsError;
    std::filesystem::create_directories(naming.folder, fsError);
    if (fsError) {
        err << "pathbloom: cannot create " << naming.folder << ": " << fsError.message() << "\n";
        return 1;
    }
    if (access(naming.folder.c_str(), W_OK | X_OK) != 0) {
        err << "pathbloom: cannot write in " << naming.folder << ": " << std::strerror(errno) << "\n";
        return 1;
    }
    // So is a preview's.
    if (!options.preview.empty()) {
        const std::string previewFolder = std::filesystem::path(options.preview).parent_path().string();
        const std::string folder = previewFolder.empty() ? "." : previewFolder;
        std::filesystem::create_directories(folder, fsError);
        if (fsError || access(folder.c_str(), W_OK | X_OK) != 0) {
            err << "pathbloom: cannot write the preview in " << folder << ": "
                << (fsError ? fsError.message() : std::strerror(errno)) << "\n";
            return 1;
        }
        const std::string previewName = std::filesystem::path(options.preview).filename().string();
        removeStaleTemporaries(folder, [&](const std::string &name) { return name == previewName; });
    }

    // A frame's files are named when needed: a million frames take no list.
    const auto filesOf = [&](size_t index) {
        return frameFiles(naming, frames[index], scene.depth, options.pngPreview);
    };
    std::vector<size_t> todo;  // indexes into `frames`
    for (size_t i = 0; i < frames.size(); ++i) {
        if (options.skipExisting) {
            const std::vector<FrameFile> files = filesOf(i);
            if (std::all_of(files.begin(), files.end(),
                            [](const FrameFile &file) { return std::filesystem::exists(file.path); }))
                continue;
        }
        todo.push_back(i);
    }
    removeStaleTemporaries(naming.folder, [&](const std::string &name) {
        int frame = 0;
        if (!frameOfFileName(naming, name, frame)) return false;
        const auto found = std::lower_bound(frames.begin(), frames.end(), frame);
        return found != frames.end() && *found == frame &&
               std::binary_search(todo.begin(), todo.end(), size_t(found - frames.begin()));
    });
    const size_t skipped = frames.size() - todo.size();
    if (skipped > 0) err << "pathbloom: " << skipped << " of " << frames.size() << " frames already written, skipped\n";

    int jobs = options.jobs > 0 ? options.jobs : int(std::max(1u, std::thread::hardware_concurrency()));
    jobs = std::max(1, std::min({jobs, maxJobs, int(todo.size())}));
    for (auto &effect : effects) effect->host.onProgress = reportProgress;

    std::vector<FrameOutcome> outcomes(todo.size());
    size_t nextToPrint = 0, reported = 0, written = 0;
    double renderMilliseconds = 0;
    long placedInAll = 0;  // points placed over all frames written, all effects
    int lastPercent = -1;
    bool barShown = false;
    const auto clearBar = [&] {
        if (barShown) err << "\r\033[K" << std::flush;
        barShown = false;
        lastPercent = -1;
    };
    const auto print = [&](size_t item) {
        FrameOutcome &outcome = outcomes[item];
        const int number = frames[todo[item]];
        clearBar();
        err << outcome.record.value("warnings", std::string());
        if (!outcome.ok) return;
        ++written;
        const double milliseconds = outcome.record.value("milliseconds", 0.0);
        renderMilliseconds += milliseconds;
        placedInAll += outcome.record.value("placed", 0L);
        std::string paths;
        json pathList = json::array();
        for (const FrameFile &file : filesOf(todo[item])) {
            paths += (paths.empty() ? "" : ", ") + file.path;
            pathList.push_back(file.path);
        }
        if (options.frameLog) err << printed("frame %d written: %s (%.1f ms)\n", number, paths.c_str(), milliseconds);
        if (options.stats && options.statsJson) {
            out << dumped({{"type", "frame"},
                           {"frame", number},
                           {"files", pathList},
                           {"milliseconds", milliseconds},
                           {"encodeMilliseconds", outcome.record.value("encodeMilliseconds", 0.0)},
                           {"placed", outcome.record.value("placed", 0L)},
                           {"drawn", outcome.record.value("drawn", 0L)},
                           {"streams", outcome.record.value("streams", json::array())}})
                << "\n"
                << std::flush;
        } else if (options.stats) {
            out << printed("frame %4d  %9.2f ms  %8ld points placed  %8ld drawn\n", number, milliseconds,
                           outcome.record.value("placed", 0L), outcome.record.value("drawn", 0L))
                << outcome.record.value("streamLines", std::string()) << std::flush;
        }
        outcome.record = nullptr;  // printed: a long render keeps no report it is done with
    };
    const auto drawBar = [&] {
        if (!options.progressBar || todo.empty()) return;
        const double done = (double(reported) + workersPercentSum() / 100.0) / double(todo.size());
        const int percent = std::clamp(int(done * 100), 0, 100);
        if (percent == lastPercent) return;
        lastPercent = percent;
        const int width = 30, filled = percent * width / 100;
        err << "\r" << reported << "/" << todo.size() << " frames [" << std::string(size_t(filled), '#')
            << std::string(size_t(width - filled), ' ') << "] " << percent << "%" << std::flush;
        barShown = true;
    };
    const ItemWork work = [&](int item, std::string &report) {
        const size_t index = todo[size_t(item)];
        return renderAndWrite(effects, scene, frames[index], filesOf(index), options, report);
    };
    const ItemReport onReport = [&](int item, bool ok, const std::string &report, bool crashed) {
        FrameOutcome &outcome = outcomes[size_t(item)];
        outcome.reported = true;
        outcome.ok = ok;
        if (crashed) {
            outcome.record = {{"failure", "frame " + std::to_string(frames[todo[size_t(item)]]) + ": " + report}};
        } else {
            outcome.record = json::parse(report, nullptr, false);
            if (outcome.record.is_discarded()) outcome.record = {{"failure", "a worker's report is not JSON"}};
        }
        ++reported;
        while (nextToPrint < outcomes.size() && outcomes[nextToPrint].reported) print(nextToPrint++);
    };
    out << std::flush;
    err << std::flush;
    const WorkersResult result =
        todo.empty() ? WorkersResult{} : runInWorkers(jobs, int(todo.size()), work, onReport, drawBar);
    clearBar();
    // Frames done after one that failed or was never started, in order.
    for (size_t item = nextToPrint; item < outcomes.size(); ++item)
        if (outcomes[item].reported) print(item);

    if (options.stats && options.statsJson) {
        const double seconds = millisecondsSince(began) / 1000;
        out << dumped({{"type", "summary"},
                       {"framesWritten", written},
                       {"framesSkipped", skipped},
                       {"jobs", jobs},
                       {"seconds", seconds},
                       {"framesPerSecond", seconds > 0 ? double(written) / seconds : 0.0},
                       {"renderMilliseconds", renderMilliseconds}})
            << "\n"
            << std::flush;
    }
    if (result.failed) {
        for (const FrameOutcome &outcome : outcomes) {
            if (outcome.reported && !outcome.ok) {
                err << "pathbloom: " << outcome.record.value("failure", std::string("a frame failed")) << "\n";
                return 1;
            }
        }
        err << "pathbloom: " << (result.error.empty() ? "a worker failed" : result.error) << "\n";
        return 1;
    }
    // Frames with nothing on them are most likely a scene that forgot its
    // mask or asks for no points: say so rather than leave empty files.
    if (written > 0 && placedInAll == 0) {
        err << "pathbloom: warning: no frame has a point on it: "
            << (scene.masks.empty() ? "the scene has no mask (\"masks\") for \"Path\" to name"
                                    : "check \"Path\" (0 is no mask), \"Number\", \"Start\" and \"End\"")
            << "\n";
    }
    if (result.stopSignal) {
        err << "pathbloom: stopped by " << signalName(result.stopSignal) << " with " << written << " of " << todo.size()
            << " frames written\n";
        return 128 + result.stopSignal;
    }
    if (!options.contactSheet.empty()) {
        std::vector<std::string> sheetFiles;
        // The PNG when a frame has one (the last of its files), else the EXR.
        for (size_t i = 0; i < frames.size(); ++i) sheetFiles.push_back(filesOf(i).back().path);
        if (!writeContactSheet(sheetFiles, options.contactSheet, error)) {
            err << "pathbloom: " << error << "\n";
            return 1;
        }
    }
    if (!options.preview.empty()) {
        // Read back from the frames' main files, in frame order, skipped
        // ones too: the same preview whatever the workers and resumes.
        PreviewJob job{options.preview, options.previewWidth, scene.fps, frames.size(),
                       [&](size_t i) { return filesOf(i).front(); }};
        if (!writeAnimatedPreview(job, error)) {
            err << "pathbloom: " << error << "\n";
            return 1;
        }
    }
    return 0;
}

}  // namespace pathbloom
