// Contact sheets: a render's frames side by side in one 8-bit PNG, over a
// checkerboard so that transparent parts show.
#include "cli/contact_sheet.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <map>

#include "cli/image_io.h"
#include "cli/output_file.h"

namespace pathbloom {

namespace {

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

// length * numerator / denominator, rounded to nearest.
int scaledLength(int length, int numerator, int denominator) {
    return int((int64_t(length) * numerator * 2 + denominator) / (2 * int64_t(denominator)));
}

uint8_t checkerUnder(int x, int y) {
    return ((x / checkerSquare) + (y / checkerSquare)) % 2 == 0 ? checkerLight : checkerDark;
}

// An 8-bit frame (ARGB, straight colour) at its own size over the
// checkerboard, its top left corner at (left, top) of the sheet.
void drawFullSize(minihost::Image &sheet, int left, int top, const minihost::Image &frame) {
    for (int y = 0; y < frame.height; ++y) {
        for (int x = 0; x < frame.width; ++x) {
            const uint8_t *p = frame.data.data() + (size_t(y) * size_t(frame.width) + size_t(x)) * 4;
            const uint8_t under = checkerUnder(x, y);
            setPixel(sheet, left + x, top + y, over(p[1], p[0], under), over(p[2], p[0], under),
                     over(p[3], p[0], under));
        }
    }
}

// The source pixels a target pixel covers, with how much of each: target
// pixel i spans [i * from, (i + 1) * from) and source pixel j spans
// [j * to, (j + 1) * to), in units of 1 / (from * to) of a source pixel,
// so the weights of a target pixel add up to `from` exactly.
struct Tap {
    int index, weight;
};
std::vector<std::vector<Tap>> boxTaps(int from, int to) {
    std::vector<std::vector<Tap>> taps(static_cast<size_t>(to));
    for (int i = 0; i < to; ++i) {
        const int64_t begin = int64_t(i) * from, end = begin + from;
        for (int64_t j = begin / to; j * to < end; ++j) {
            const int64_t overlap = std::min(end, (j + 1) * to) - std::max(begin, j * to);
            if (overlap > 0) taps[size_t(i)].push_back(Tap{int(j), int(overlap)});
        }
    }
    return taps;
}

// The frame scaled by tileWidth / cellWidth (< 1) with a box filter over
// its 8-bit values: alpha is the covered area's mean, colour the
// alpha-weighted mean, so transparent pixels lend it no colour. Then over
// the checkerboard like a full-size frame.
void drawScaled(minihost::Image &sheet, int left, int top, const minihost::Image &frame, int tileWidth, int cellWidth) {
    const int width = std::min(tileWidth, std::max(1, scaledLength(frame.width, tileWidth, cellWidth)));
    const int height = std::max(1, scaledLength(frame.height, tileWidth, cellWidth));
    const auto columns = boxTaps(frame.width, width), rows = boxTaps(frame.height, height);
    // Per source row and target column: alpha, then alpha times each colour.
    std::vector<int64_t> across(size_t(width) * size_t(frame.height) * 4, 0);
    for (int y = 0; y < frame.height; ++y) {
        const uint8_t *row = frame.data.data() + size_t(y) * size_t(frame.width) * 4;
        for (int x = 0; x < width; ++x) {
            int64_t *sum = &across[(size_t(y) * size_t(width) + size_t(x)) * 4];
            for (const Tap &tap : columns[size_t(x)]) {
                const uint8_t *p = row + size_t(tap.index) * 4;
                const int64_t weightedAlpha = int64_t(tap.weight) * p[0];
                sum[0] += weightedAlpha;
                for (int c = 1; c < 4; ++c) sum[c] += weightedAlpha * p[c];
            }
        }
    }
    const int64_t area = int64_t(frame.width) * frame.height;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            int64_t sum[4] = {0, 0, 0, 0};
            for (const Tap &tap : rows[size_t(y)]) {
                const int64_t *s = &across[(size_t(tap.index) * size_t(width) + size_t(x)) * 4];
                for (int c = 0; c < 4; ++c) sum[c] += int64_t(tap.weight) * s[c];
            }
            const uint8_t alpha = uint8_t((sum[0] * 2 + area) / (2 * area));
            uint8_t colour[4] = {alpha, 0, 0, 0};
            if (sum[0] > 0)
                for (int c = 1; c < 4; ++c) colour[c] = uint8_t((sum[c] * 2 + sum[0]) / (2 * sum[0]));
            const uint8_t under = checkerUnder(x, y);
            setPixel(sheet, left + x, top + y, over(colour[1], alpha, under), over(colour[2], alpha, under),
                     over(colour[3], alpha, under));
        }
    }
}

// Digits 0..9 as 3x5 glyphs, one row a byte, bit 2 the left column.
constexpr uint8_t digitGlyphs[10][5] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 1, 1}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7},
};

// `text` (digits) in white on a black box in the bottom-left corner of a
// tile, clipped to it. Glyph pixels are squares of tileHeight / 40 (at least
// 1) sheet pixels; the box has one such square of margin around the
// glyphs and between them.
void drawLabel(minihost::Image &sheet, int left, int top, int tileWidth, int tileHeight, const std::string &text) {
    if (text.empty()) return;
    const int unit = std::max(1, tileHeight / 40);
    const int boxWidth = unit * (4 * int(text.size()) + 1), boxHeight = unit * 7;
    const int boxLeft = left, boxTop = top + tileHeight - boxHeight;
    for (int y = std::max(boxTop, top); y < boxTop + boxHeight; ++y) {
        for (int x = boxLeft; x < std::min(boxLeft + boxWidth, left + tileWidth); ++x) {
            const int gx = (x - boxLeft) / unit - 1, gy = (y - boxTop) / unit - 1;
            bool on = false;
            if (gx >= 0 && gy >= 0 && gy < 5 && gx % 4 < 3) {
                const char digit = text[size_t(gx / 4)];
                if (digit >= '0' && digit <= '9') on = (digitGlyphs[digit - '0'][gy] >> (2 - gx % 4)) & 1;
            }
            const uint8_t v = on ? 255 : 0;
            setPixel(sheet, x, y, v, v, v);
        }
    }
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

int narrowestSheet(int count, const SheetLayout &layout) {
    const int columns = sheetGeometry(count, 1, 1, SheetLayout{0, layout.columns, false}).columns;
    return sheetGap * (columns + 1) + columns;
}

SheetGeometry sheetGeometry(int count, int cellWidth, int cellHeight, const SheetLayout &layout) {
    SheetGeometry g;
    count = std::max(1, count);
    g.columns =
        layout.columns > 0 ? std::min(layout.columns, count) : std::max(1, int(std::ceil(std::sqrt(double(count)))));
    g.rows = (count + g.columns - 1) / g.columns;
    g.tileWidth = cellWidth;
    g.tileHeight = cellHeight;
    g.left = sheetGap;
    if (layout.width > 0) {
        const int fit = std::max(1, (layout.width - sheetGap * (g.columns + 1)) / g.columns);
        if (fit < cellWidth) {
            g.tileWidth = fit;
            g.tileHeight = std::max(1, scaledLength(cellHeight, fit, cellWidth));
        }
        g.width = layout.width;
        g.left += std::max(0, layout.width - (sheetGap * (g.columns + 1) + g.columns * g.tileWidth)) / 2;
    } else {
        g.width = sheetGap + g.columns * (g.tileWidth + sheetGap);
    }
    g.height = sheetGap + g.rows * (g.tileHeight + sheetGap);
    return g;
}

minihost::Image tileFrames(const std::vector<minihost::Image> &frames, const SheetLayout &layout,
                           const std::vector<std::string> &labels) {
    int cellWidth = 1, cellHeight = 1;
    for (const minihost::Image &frame : frames) {
        cellWidth = std::max(cellWidth, frame.width);
        cellHeight = std::max(cellHeight, frame.height);
    }
    const SheetGeometry g = sheetGeometry(int(frames.size()), cellWidth, cellHeight, layout);
    minihost::Image sheet = minihost::makeImage(g.width, g.height, minihost::Depth::Bits8);
    for (int y = 0; y < sheet.height; ++y)
        for (int x = 0; x < sheet.width; ++x) setPixel(sheet, x, y, gapGrey, gapGrey, gapGrey);
    const bool scaled = g.tileWidth < cellWidth;
    for (size_t f = 0; f < frames.size(); ++f) {
        const minihost::Image frame = minihost::convertImage(frames[f], minihost::Depth::Bits8);
        const int left = g.left + int(f % size_t(g.columns)) * (g.tileWidth + sheetGap);
        const int top = sheetGap + int(f / size_t(g.columns)) * (g.tileHeight + sheetGap);
        if (scaled)
            drawScaled(sheet, left, top, frame, g.tileWidth, cellWidth);
        else
            drawFullSize(sheet, left, top, frame);
        if (layout.labels && f < labels.size()) drawLabel(sheet, left, top, g.tileWidth, g.tileHeight, labels[f]);
    }
    return sheet;
}

std::string frameLabel(const std::string &path) {
    const std::string stem = std::filesystem::path(path).stem().string();
    if (stem.rfind("frame_", 0) != 0) return "";
    std::string digits = stem.substr(6);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) return "";
    const size_t first = digits.find_first_not_of('0');
    return first == std::string::npos ? "0" : digits.substr(first);
}

bool writeContactSheet(const std::vector<std::string> &files, const std::string &outputPath, std::string &error,
                       const PngSettings &settings, const SheetLayout &layout) {
    if (files.empty()) {
        error = "no frames to put on a contact sheet";
        return false;
    }
    std::vector<minihost::Image> frames(files.size());
    for (size_t f = 0; f < files.size(); ++f)
        if (!readFrame(files[f], frames[f], error)) return false;
    std::vector<std::string> labels;
    for (const std::string &file : files) labels.push_back(frameLabel(file));
    const minihost::Image sheet = tileFrames(frames, layout, labels);
    return writeWhole(
        outputPath, [&](const std::string &path, std::string &e) { return writePng(path, sheet, e, settings); }, error);
}

int runContactSheet(const std::string &folder, const std::string &outputPath, std::ostream &out, std::ostream &err,
                    const PngSettings &settings, const SheetLayout &layout) {
    const std::vector<std::string> files = renderedFrames(folder);
    if (files.empty()) {
        err << "pathbloom: " << folder << ": no frame_NNNN.png or frame_NNNN.exr files\n";
        return 1;
    }
    const int narrowest = narrowestSheet(int(files.size()), layout);
    if (layout.width > 0 && layout.width < narrowest) {
        err << "pathbloom: --width: " << layout.width << " is too narrow for "
            << sheetGeometry(int(files.size()), 1, 1, layout).columns << " columns (at least " << narrowest << ")\n";
        return 2;
    }
    std::string error;
    if (!writeContactSheet(files, outputPath, error, settings, layout)) {
        err << "pathbloom: " << error << "\n";
        return 1;
    }
    out << outputPath << ": " << files.size() << " frames\n";
    return 0;
}

}  // namespace pathbloom
