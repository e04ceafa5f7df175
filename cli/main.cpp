// The pathbloom command: inspect the plug-in, check and render scene files
// through minihost, tile rendered frames into a contact sheet.
#include <CLI/CLI.hpp>

#include <unistd.h>
#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "cli/animated_preview.h"
#include "cli/check_command.h"
#include "cli/contact_sheet.h"
#include "cli/image_io.h"
#include "cli/info_command.h"
#include "cli/output_file.h"
#include "cli/render_command.h"
#include "cli/render_workers.h"
#include "cli/scene.h"
#include "cli/version.h"

int main(int argc, char **argv) {
    CLI::App app{"pathbloom: renders VomrelPathBloom scenes through minihost"};
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("pathbloom ") + pathbloom::commandVersion);

    pathbloom::InfoOptions infoOptions;
    CLI::App *info = app.add_subcommand("info", "Show the plug-in's property list, about text and parameters");
    info->add_option("PLUGIN", infoOptions.pluginPath,
                     "Plug-in file (default: $PATHBLOOM_PLUGIN, else the one built or installed with pathbloom)");
    info->add_flag("--json", infoOptions.json, "The property list, about text and parameters as one JSON document");
    info->add_option("--scene", infoOptions.scenePath,
                     "Also show which parameters the plug-in greys out with this scene's values");
    CLI::Option *describe = info->add_flag(
        "--describe", infoOptions.describe,
        "Instead: each parameter's purpose, unit and when the plug-in ignores it, asked of its own UI update");
    info->add_flag("--markdown", infoOptions.markdown, "With --describe: a Markdown table (docs/parameters.md)")
        ->needs(describe);

    pathbloom::CheckOptions checkOptions;
    CLI::App *check = app.add_subcommand(
        "check", "List the scene's settings that the plug-in ignores, and what would make it use them");
    check->add_option("SCENE", checkOptions.scenePath, "Scene file (JSON)")->required();
    check->add_option("--plugin", checkOptions.pluginPath, "Plug-in file");

    pathbloom::RenderOptions options;
    std::string downsample;
    CLI::App *render = app.add_subcommand("render", "Render a scene file's frames");
    render->add_option("SCENE", options.scenePath, "Scene file (JSON)")->required();
    render
        ->add_option("-o,--output", options.output,
                     "Output folder (frame_0007.png / .exr), or a pattern out/name.####.png or out/name.%04d.exr")
        ->required();
    render->add_option("--plugin", options.pluginPath, "Plug-in file");
    render->add_option("--frames", options.frames,
                       "Frames to render, comma-separated A, A-B or A-BxN (every Nth): 1-100x4, 1,5,9, 10-20,30");
    render->add_option("--depth", options.depth, "Bits per channel: 8, 16 or 32 (float)")
        ->check(CLI::IsMember({8, 16, 32}));
    render->add_option("--downsample", downsample, "Downsampling X or X,Y");
    CLI::Option *stats = render->add_flag("--stats", options.stats,
                                          "Per frame: render time, points placed and drawn, parameter streams read");
    render->add_flag("--json", options.statsJson, "With --stats: one JSON object a line, then a summary")->needs(stats);
    render->add_flag("--png-preview", options.pngPreview,
                     "Also write a 16-bit PNG for float frames written as EXR (--preview not followed by a video "
                     "file name means this too)");
    CLI::Option *preview =
        render->add_option("--preview", options.preview,
                           "Also write an animated preview of the frames at the scene's fps, encoded by ffmpeg: "
                           "OUT.mp4 (H.264), OUT.webp or OUT.gif");
    render
        ->add_option("--preview-width", options.previewWidth,
                     "Preview width in pixels, the height from the frames' aspect ratio (default: the frames' "
                     "width; mp4 rounds both to even)")
        ->check(CLI::Range(1, pathbloom::maxPreviewWidth))
        ->needs(preview);
    render->add_flag("--skip-existing", options.skipExisting, "Leave out frames whose files are already there");
    render->add_option("-j,--jobs", options.jobs, "Worker processes rendering frames at once (default: cores)")
        ->check(CLI::Range(1, pathbloom::maxJobs));
    render->add_option("--contact-sheet", options.contactSheet, "Also tile the frames into this PNG");
    std::string pngCompression = "fast", exrCompression = "fast";
    render->add_option("--png-compression", pngCompression,
                       std::string("PNG frames: ") + pathbloom::pngCompressionChoices + " (default fast: level 1)");
    render->add_option(
        "--exr-compression", exrCompression,
        std::string("EXR frames: ") + pathbloom::exrCompressionChoices + " (default fast: zip at zlib level 1)");
    render->add_flag("--half", options.exr.half, "EXR frames with 16-bit half-float channels");
    render->add_flag("--linear", options.exr.linear,
                     "EXR frames in linear light: colour decoded with the sRGB transfer function");

    std::string sheetFolder, sheetOutput;
    CLI::App *sheet = app.add_subcommand("contact-sheet", "Tile a render's frames into one PNG");
    sheet->add_option("DIR", sheetFolder, "Folder of frame_NNNN.png / .exr files")->required();
    sheet->add_option("-o,--output", sheetOutput, "Sheet file (PNG)")->required();
    std::string sheetCompression = "default";
    sheet->add_option("--png-compression", sheetCompression,
                      std::string(pathbloom::pngCompressionChoices) + " (default default)");
    pathbloom::SheetLayout sheetLayout;
    sheet->add_option("--width", sheetLayout.width,
                      "Sheet width in pixels; frames scaled down to fit, aspect kept (default: frames at full size)");
    sheet->add_option("--columns", sheetLayout.columns, "Tiles a row (default: the square root of the frame count)");
    sheet->add_flag("--labels,!--no-labels", sheetLayout.labels,
                    "Frame numbers on the tiles (default: none; the last of --labels, --no-labels counts)");

    // Usage errors exit with 2 whatever CLI11's own code for them.
    const std::vector<std::string> arguments =
        pathbloom::renamedPreviewFlag(std::vector<std::string>(argv + std::min(argc, 1), argv + argc));
    std::vector<const char *> renamedArgv{argc > 0 ? argv[0] : "pathbloom"};
    for (const std::string &argument : arguments) renamedArgv.push_back(argument.c_str());
    try {
        app.parse(int(renamedArgv.size()), renamedArgv.data());
    } catch (const CLI::ParseError &e) {
        const int status = app.exit(e);
        // A name after the old flag that is no video: the likely mistake.
        for (int i = 1; status != 0 && i + 1 < argc; ++i)
            if (std::string(argv[i]) == "--preview" && std::string(e.what()).find(argv[i + 1]) != std::string::npos)
                std::cerr << "pathbloom: --preview takes a file name ending in .mp4, .webp or .gif; alone it is "
                             "--png-preview\n";
        return status == 0 ? 0 : 2;
    }
    pathbloom::stopCleanlyOnSignals();

    if (*info) return pathbloom::runInfo(infoOptions, std::cout, std::cerr);
    if (*check) return pathbloom::runCheck(checkOptions, std::cout, std::cerr);
    if (*sheet) {
        pathbloom::PngSettings sheetPng;
        if (!pathbloom::parsePngCompression(sheetCompression, sheetPng)) {
            std::cerr << "pathbloom: --png-compression: \"" << sheetCompression << "\" is not "
                      << pathbloom::pngCompressionChoices << "\n";
            return 2;
        }
        if (sheet->count("--width") && (sheetLayout.width < 1 || sheetLayout.width > pathbloom::maxSheetWidth)) {
            std::cerr << "pathbloom: --width: " << sheetLayout.width << " is not 1.." << pathbloom::maxSheetWidth
                      << " pixels\n";
            return 2;
        }
        if (sheet->count("--columns") && sheetLayout.columns < 1) {
            std::cerr << "pathbloom: --columns: " << sheetLayout.columns << " is not 1 or more\n";
            return 2;
        }
        return pathbloom::runContactSheet(sheetFolder, sheetOutput, std::cout, std::cerr, sheetPng, sheetLayout);
    }

    if (!downsample.empty() && !pathbloom::parseDownsample(downsample, options.downsampleX, options.downsampleY)) {
        std::cerr << "pathbloom: --downsample: \"" << downsample << "\" is not X or X,Y (1 or more)\n";
        return 2;
    }
    if (!pathbloom::parsePngCompression(pngCompression, options.png)) {
        std::cerr << "pathbloom: --png-compression: \"" << pngCompression << "\" is not "
                  << pathbloom::pngCompressionChoices << "\n";
        return 2;
    }
    if (!pathbloom::parseExrCompression(exrCompression, options.exr)) {
        std::cerr << "pathbloom: --exr-compression: \"" << exrCompression << "\" is not "
                  << pathbloom::exrCompressionChoices << "\n";
        return 2;
    }
    options.progressBar = isatty(STDERR_FILENO) != 0;
    options.frameLog = !options.progressBar;
    return pathbloom::runRender(options, std::cout, std::cerr);
}
