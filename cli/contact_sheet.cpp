// Contact sheets: a render's frames side by side in one 8-bit PNG, over a
// checkerboard so that transparent parts show.
#include "cli/contact_sheet.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>

#include "cli/image_io.h"
#include "cli/output_file.h"

namespace pathbloom {

namespace {

constexpr int gap = 4;            // pixels between and around the frames
constexpr int checkerSquare = 8;  // pixels per checkerboard square
constexpr uint8_t gapGrey = 0x30, checkerLight = 0x99, checkerDark = 0x66;

void setPixel(minihost::Image &image, int x, int y, uint8_t r, uint8_t g, uint8_t b) {
    uint8_t *p = image.data.data() + (size_t(y) * size_t(image.width) + size_t(x)) * 4;
    p[0] = 255;
    p[1] = r;
    p[2] = g;
    p[3] = b;
}

uint8_t over(uint8_t colour, uint8_t alpha, uint8_t under) {
    return uint8_t((colour * alpha + under * (255 - alpha) + 127) / 255);
}

bool readFrame(const std::string &path, minihost::Image &image, std::string &error) {
    const bool exr = path.size() > 4 && path.compare(path.size() - 4, 4, ".exr") == 0;
    return exr ? readExr(path, image, error) : readPng(path, image, error);
}

}  // namespace

std::vector<std::string> renderedFrames(const std::string &folder) {
    // By frame number; a PNG wins over an EXR of the same frame.
    std::map<std::string, std::string> byStem;
    std::error_code fsError;
    for (const auto &entry : std::filesystem::directory_iterator(folder, fsError)) {
        const std::string name = entry.path().filename().string();
        const std::string extension = entry.path().extension().string();
        if (name.rfind("frame_", 0) != 0 || (extension != ".png" && extension != ".exr")) continue;
        const std::string stem = entry.path().stem().string();
        auto found = byStem.find(stem);
        if (found == byStem.end() || extension == ".png") byStem[stem] = entry.path().string();
    }
    std::vector<std::string> files;
    for (const auto &item : byStem) files.push_back(item.second);
    return files;
}

minihost::Image tileFrames(const std::vector<minihost::Image> &frames) {
    int cellWidth = 1, cellHeight = 1;
    for (const minihost::Image &frame : frames) {
        cellWidth = std::max(cellWidth, frame.width);
        cellHeight = std::max(cellHeight, frame.height);
    }
    const int count = std::max<int>(1, int(frames.size()));
    const int columns = std::max(1, int(std::ceil(std::sqrt(double(count)))));
    const int rows = (count + columns - 1) / columns;
    minihost::Image sheet =
        minihost::makeImage(gap + columns * (cellWidth + gap), gap + rows * (cellHeight + gap), minihost::Depth::Bits8);
    for (int y = 0; y < sheet.height; ++y)
        for (int x = 0; x < sheet.width; ++x) setPixel(sheet, x, y, gapGrey, gapGrey, gapGrey);
    for (size_t f = 0; f < frames.size(); ++f) {
        const minihost::Image frame = minihost::convertImage(frames[f], minihost::Depth::Bits8);
        const int left = gap + int(f % size_t(columns)) * (cellWidth + gap);
        const int top = gap + int(f / size_t(columns)) * (cellHeight + gap);
        for (int y = 0; y < frame.height; ++y) {
            for (int x = 0; x < frame.width; ++x) {
                const uint8_t *p = frame.data.data() + (size_t(y) * size_t(frame.width) + size_t(x)) * 4;
                const bool light = ((x / checkerSquare) + (y / checkerSquare)) % 2 == 0;
                const uint8_t under = light ? checkerLight : checkerDark;
                setPixel(sheet, left + x, top + y, over(p[1], p[0], under), over(p[2], p[0], under),
                         over(p[3], p[0], under));
            }
        }
    }
    return sheet;
}

bool writeContactSheet(const std::vector<std::string> &files, const std::string &outputPath, std::string &error,
                       const PngSettings &settings) {
    if (files.empty()) {
        error = "no frames to put on a contact sheet";
        return false;
    }
    std::vector<minihost::Image> frames(files.size());
    for (size_t f = 0; f < files.size(); ++f)
        if (!readFrame(files[f], frames[f], error)) return false;
    const minihost::Image sheet = tileFrames(frames);
    return writeWhole(
        outputPath, [&](const std::string &path, std::string &e) { return writePng(path, sheet, e, settings); }, error);
}

int runContactSheet(const std::string &folder, const std::string &outputPath, std::ostream &out, std::ostream &err,
                    const PngSettings &settings) {
    const std::vector<std::string> files = renderedFrames(folder);
    if (files.empty()) {
        err << "pathbloom: " << folder << ": no frame_NNNN.png or frame_NNNN.exr files\n";
        return 1;
    }
    std::string error;
    if (!writeContactSheet(files, outputPath, error, settings)) {
        err << "pathbloom: " << error << "\n";
        return 1;
    }
    out << outputPath << ": " << files.size() << " frames\n";
    return 0;
}

}  // namespace pathbloom
