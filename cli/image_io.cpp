// PNG and OpenEXR files to and from minihost images (straight RGBA; the
// images keep channels in the host's order alpha, red, green, blue).
#include "cli/image_io.h"

#include <png.h>
#include <sys/stat.h>

#include <ImfChannelList.h>
#include <ImfCompression.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfInputFile.h>
#include <ImfOutputFile.h>
#include <ImfStandardAttributes.h>
#include <ImfStdIO.h>
#include <ImfStringAttribute.h>
#include <half.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <vector>

namespace pathbloom {

uint16_t pngChannelFromHost16(uint16_t channel) {
    const uint32_t c = std::min<uint32_t>(channel, 32768);
    return static_cast<uint16_t>((c * 65535u + 16384u) / 32768u);
}

uint16_t host16ChannelFromPng(uint16_t channel) {
    return static_cast<uint16_t>((uint32_t(channel) * 32768u + 32767u) / 65535u);
}

namespace {

// An --exr-compression name, OpenEXR's method, and whether it gives back
// exactly what was written to 32-bit float and to half channels.
struct ExrMethod {
    const char *name;
    ExrCompression compression;
    Imf::Compression imf;
    bool losslessFloat, losslessHalf;
};

const ExrMethod exrMethods[] = {
    {"none", ExrCompression::none, Imf::NO_COMPRESSION, true, true},
    {"rle", ExrCompression::rle, Imf::RLE_COMPRESSION, true, true},
    {"zips", ExrCompression::zips, Imf::ZIPS_COMPRESSION, true, true},
    {"zip", ExrCompression::zip, Imf::ZIP_COMPRESSION, true, true},
    {"piz", ExrCompression::piz, Imf::PIZ_COMPRESSION, true, true},
    {"pxr24", ExrCompression::pxr24, Imf::PXR24_COMPRESSION, false, true},
    {"b44", ExrCompression::b44, Imf::B44_COMPRESSION, true, false},
    {"b44a", ExrCompression::b44a, Imf::B44A_COMPRESSION, true, false},
    {"dwaa", ExrCompression::dwaa, Imf::DWAA_COMPRESSION, false, false},
    {"dwab", ExrCompression::dwab, Imf::DWAB_COMPRESSION, false, false},
};

const ExrMethod &exrMethod(ExrCompression compression) {
    for (const ExrMethod &method : exrMethods)
        if (method.compression == compression) return method;
    return exrMethods[3];
}

int pngFilterBits(PngFilter filter) {
    switch (filter) {
    case PngFilter::none:
        return PNG_FILTER_NONE;
    case PngFilter::sub:
        return PNG_FILTER_SUB;
    case PngFilter::up:
        return PNG_FILTER_UP;
    case PngFilter::noneOrUp:
        return PNG_FILTER_NONE | PNG_FILTER_UP;
    case PngFilter::adaptive:
        break;
    }
    return PNG_ALL_FILTERS;
}

// Everything a libpng call touches lives here, outside the frame that calls
// setjmp, so that nothing is lost when libpng jumps back on an error.
struct PngSession {
    FILE *file = nullptr;
    uint64_t fileBytes = 0;  // the file's size, which bounds what it can decompress to
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<png_bytep> rowPointers;
    char message[256] = "unknown libpng error";
};

// Deflate turns at most 1032 bytes into 1 (a run of 258-byte matches), so a
// PNG's rows cannot hold more than 1032 times the file's size.
constexpr uint64_t deflateRatio = 1032;

bool pngSizeFits(PngSession &s, png_uint_32 width, png_uint_32 height) {
    if (width > maxImageSide || height > maxImageSide || uint64_t(width) * height > maxImagePixels) {
        std::snprintf(s.message, sizeof s.message,
                      "claims %u x %u pixels, more than the %d x %d and %llu pixels this reader takes", unsigned(width),
                      unsigned(height), maxImageSide, maxImageSide, static_cast<unsigned long long>(maxImagePixels));
        return false;
    }
    // Each row's bytes in the file's own layout and its filter byte.
    const uint64_t rowBytes = png_get_rowbytes(s.png, s.info);
    if ((rowBytes + 1) * height / deflateRatio > s.fileBytes) {
        std::snprintf(s.message, sizeof s.message, "claims %u x %u pixels, more than its %llu bytes can hold",
                      unsigned(width), unsigned(height), static_cast<unsigned long long>(s.fileBytes));
        return false;
    }
    return true;
}

void pngError(png_structp png, png_const_charp text) {
    auto *session = static_cast<PngSession *>(png_get_error_ptr(png));
    std::snprintf(session->message, sizeof session->message, "%s", text);
    png_longjmp(png, 1);
}

void pngWarning(png_structp, png_const_charp) {}

// Reads the rows as RGBA, 8 or 16 bits per channel (16-bit big-endian as in
// the file).
bool readPngRows(PngSession &s, std::vector<uint8_t> &rows, png_uint_32 &width, png_uint_32 &height, int &bitDepth) {
    if (setjmp(png_jmpbuf(s.png))) return false;
    png_init_io(s.png, s.file);
    png_read_info(s.png, s.info);
    int colorType = 0;
    png_get_IHDR(s.png, s.info, &width, &height, &bitDepth, &colorType, nullptr, nullptr, nullptr);
    if (!pngSizeFits(s, width, height)) return false;
    png_set_expand(s.png);  // palette to RGB, low grey depths to 8, tRNS to alpha
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(s.png);
    if (!(colorType & PNG_COLOR_MASK_ALPHA) && !png_get_valid(s.png, s.info, PNG_INFO_tRNS))
        png_set_add_alpha(s.png, bitDepth == 16 ? 0xffff : 0xff, PNG_FILLER_AFTER);
    if (bitDepth < 8) bitDepth = 8;
    png_set_interlace_handling(s.png);
    png_read_update_info(s.png, s.info);
    if (png_get_channels(s.png, s.info) != 4) png_error(s.png, "unsupported PNG layout");
    const size_t rowBytes = png_get_rowbytes(s.png, s.info);
    rows.assign(rowBytes * height, 0);
    // The pointers belong to the session: an error jumps over this frame.
    s.rowPointers.resize(height);
    for (png_uint_32 y = 0; y < height; ++y) s.rowPointers[y] = rows.data() + rowBytes * y;
    png_read_image(s.png, s.rowPointers.data());
    png_read_end(s.png, nullptr);
    return true;
}

bool writePngRows(PngSession &s, const std::vector<uint8_t> &rows, int width, int height, int bitDepth,
                  const PngSettings &settings) {
    if (setjmp(png_jmpbuf(s.png))) return false;
    png_init_io(s.png, s.file);
    png_set_compression_level(s.png, std::clamp(settings.level, 0, 9));
    png_set_filter(s.png, PNG_FILTER_TYPE_BASE, pngFilterBits(settings.filter));
    png_set_IHDR(s.png, s.info, png_uint_32(width), png_uint_32(height), bitDepth, PNG_COLOR_TYPE_RGB_ALPHA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // The host's code values are sRGB-encoded: say so (sRGB, with the gAMA
    // and cHRM chunks that readers without sRGB support fall back on).
    png_set_sRGB_gAMA_and_cHRM(s.png, s.info, PNG_sRGB_INTENT_PERCEPTUAL);
    png_write_info(s.png, s.info);
    const size_t rowBytes = size_t(width) * 4 * (bitDepth / 8);
    for (int y = 0; y < height; ++y) png_write_row(s.png, const_cast<png_bytep>(rows.data() + rowBytes * size_t(y)));
    png_write_end(s.png, nullptr);
    return true;
}

// A folder or a device is refused before it is opened: a FIFO would block
// and a device could read forever.
bool regularFile(const std::string &path, const char *expected, std::string &error) {
    std::error_code fsError;
    const std::filesystem::file_status status = std::filesystem::status(path, fsError);
    if (!std::filesystem::exists(status)) {
        error = "cannot open " + path;
        return false;
    }
    if (std::filesystem::is_directory(status)) {
        error = path + " is a folder, not " + expected;
        return false;
    }
    if (!std::filesystem::is_regular_file(status)) {
        error = path + " is not a regular file";
        return false;
    }
    return true;
}

void closeRead(PngSession &s) {
    if (s.png) png_destroy_read_struct(&s.png, s.info ? &s.info : nullptr, nullptr);
    if (s.file) std::fclose(s.file);
}

// After a failed flush or close, with errno cleared before it.
std::string writeFailure() {
    return errno ? std::string("write failed: ") + std::strerror(errno) : std::string("write failed");
}

void closeWrite(PngSession &s) {
    if (s.png) png_destroy_write_struct(&s.png, s.info ? &s.info : nullptr);
}

}  // namespace

bool parsePngCompression(const std::string &text, PngSettings &settings) {
    static const struct {
        const char *name;
        PngSettings settings;
    } named[] = {{"fast", fastPng},
                 {"default", {6, PngFilter::adaptive}},
                 {"best", {9, PngFilter::adaptive}},
                 {"none", {0, PngFilter::none}}};
    for (const auto &n : named) {
        if (text == n.name) {
            settings = n.settings;
            return true;
        }
    }
    if (text.size() != 1 || text[0] < '0' || text[0] > '9') return false;
    const int level = text[0] - '0';
    settings.level = level;
    settings.filter = level == 0 ? PngFilter::none : level <= 3 ? PngFilter::noneOrUp : PngFilter::adaptive;
    return true;
}

bool parseExrCompression(const std::string &text, ExrSettings &settings) {
    if (text == "fast") {
        settings.compression = fastExr.compression;
        settings.zipLevel = fastExr.zipLevel;
        return true;
    }
    for (const ExrMethod &method : exrMethods) {
        if (text == method.name) {
            settings.compression = method.compression;
            settings.zipLevel = -1;
            return true;
        }
    }
    return false;
}

std::string exrCompressionName(ExrCompression compression) { return exrMethod(compression).name; }

bool exrCompressionIsLossless(ExrCompression compression, bool half) {
    const ExrMethod &method = exrMethod(compression);
    return half ? method.losslessHalf : method.losslessFloat;
}

bool readPng(const std::string &path, minihost::Image &image, std::string &error) {
    if (!regularFile(path, "a PNG file", error)) return false;
    PngSession s;
    s.file = std::fopen(path.c_str(), "rb");
    if (!s.file) {
        error = "cannot open " + path;
        return false;
    }
    struct stat status {};
    if (fstat(fileno(s.file), &status) == 0) s.fileBytes = uint64_t(status.st_size);
    unsigned char signature[8] = {};
    if (std::fread(signature, 1, 8, s.file) != 8 || png_sig_cmp(signature, 0, 8) != 0) {
        closeRead(s);
        error = path + " is not a PNG file";
        return false;
    }
    std::rewind(s.file);
    s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &s, pngError, pngWarning);
    if (s.png) s.info = png_create_info_struct(s.png);
    std::vector<uint8_t> rows;
    png_uint_32 width = 0, height = 0;
    int bitDepth = 8;
    const bool ok = s.info && readPngRows(s, rows, width, height, bitDepth);
    closeRead(s);
    if (!ok) {
        error = path + ": " + s.message;
        return false;
    }
    const bool deep = bitDepth == 16;
    image = minihost::makeImage(int(width), int(height), deep ? minihost::Depth::Bits16 : minihost::Depth::Bits8);
    const size_t pixels = size_t(width) * height;
    for (size_t i = 0; i < pixels; ++i) {
        if (deep) {
            const uint8_t *in = rows.data() + i * 8;
            uint16_t argb[4];
            for (int c = 0; c < 4; ++c) {
                const uint16_t value = uint16_t((in[c * 2] << 8) | in[c * 2 + 1]);
                argb[(c + 1) % 4] = host16ChannelFromPng(value);
            }
            std::memcpy(image.data.data() + i * 8, argb, 8);
        } else {
            const uint8_t *in = rows.data() + i * 4;
            uint8_t *out = image.data.data() + i * 4;
            out[0] = in[3];
            out[1] = in[0];
            out[2] = in[1];
            out[3] = in[2];
        }
    }
    return true;
}

bool writePng(const std::string &path, const minihost::Image &source, std::string &error, const PngSettings &settings) {
    // Converted only when it must be: a frame is copied for nothing otherwise.
    minihost::Image converted;
    if (source.depth == minihost::Depth::Float) converted = minihost::convertImage(source, minihost::Depth::Bits16);
    const minihost::Image &image = source.depth == minihost::Depth::Float ? converted : source;
    const bool deep = image.depth == minihost::Depth::Bits16;
    const size_t pixels = size_t(image.width) * size_t(image.height);
    std::vector<uint8_t> rows(pixels * (deep ? 8 : 4));
    for (size_t i = 0; i < pixels; ++i) {
        if (deep) {
            uint16_t argb[4];
            std::memcpy(argb, image.data.data() + i * 8, 8);
            for (int c = 0; c < 4; ++c) {
                const uint16_t value = pngChannelFromHost16(argb[(c + 1) % 4]);
                rows[i * 8 + size_t(c) * 2] = uint8_t(value >> 8);
                rows[i * 8 + size_t(c) * 2 + 1] = uint8_t(value & 0xff);
            }
        } else {
            const uint8_t *in = image.data.data() + i * 4;
            uint8_t *out = rows.data() + i * 4;
            out[0] = in[1];
            out[1] = in[2];
            out[2] = in[3];
            out[3] = in[0];
        }
    }
    PngSession s;
    s.file = std::fopen(path.c_str(), "wb");
    if (!s.file) {
        error = "cannot write " + path;
        return false;
    }
    s.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &s, pngError, pngWarning);
    if (s.png) s.info = png_create_info_struct(s.png);
    const bool ok = s.info && writePngRows(s, rows, image.width, image.height, deep ? 16 : 8, settings);
    closeWrite(s);
    // A small file sits in the C library's buffer until the close writes it.
    errno = 0;
    const bool closed = std::fclose(s.file) == 0;
    if (!ok || !closed) {
        error = path + ": " + (ok ? writeFailure() : std::string(s.message));
        return false;
    }
    return true;
}

float linearFromSrgb(float code) { return code <= 0.04045f ? code / 12.92f : std::pow((code + 0.055f) / 1.055f, 2.4f); }

float srgbFromLinear(float linear) {
    return linear <= 0.0031308f ? linear * 12.92f : 1.055f * std::pow(linear, 1 / 2.4f) - 0.055f;
}

bool writeExr(const std::string &path, const minihost::Image &source, std::string &error, const ExrSettings &settings) {
    minihost::Image converted;
    if (source.depth != minihost::Depth::Float) converted = minihost::convertImage(source, minihost::Depth::Float);
    const minihost::Image &image = source.depth == minihost::Depth::Float ? source : converted;
    const size_t pixels = size_t(image.width) * size_t(image.height);
    // Planar premultiplied channels R, G, B, A, as floats or halves: the
    // conversion to half is done here, once, rather than by OpenEXR per line.
    std::vector<float> planes(settings.half ? 0 : pixels * 4);
    std::vector<half> halfPlanes(settings.half ? pixels * 4 : 0);
    for (size_t i = 0; i < pixels; ++i) {
        float argb[4];
        std::memcpy(argb, image.data.data() + i * 16, 16);
        if (settings.linear)
            for (int c = 1; c < 4; ++c) argb[c] = linearFromSrgb(argb[c]);
        const float rgba[4] = {argb[1] * argb[0], argb[2] * argb[0], argb[3] * argb[0], argb[0]};
        for (size_t c = 0; c < 4; ++c) {
            if (settings.half)
                halfPlanes[pixels * c + i] = half(rgba[c]);
            else
                planes[pixels * c + i] = rgba[c];
        }
    }
    try {
        Imf::Header header(image.width, image.height);
        header.compression() = exrMethod(settings.compression).imf;
        if (settings.zipLevel > 0) header.zipCompressionLevel() = std::min(settings.zipLevel, 9);
        // sRGB's primaries and white point (OpenEXR's default chromaticities:
        // Rec. 709, D65), and what the values mean.
        Imf::addChromaticities(header, Imf::Chromaticities());
        header.insert(valueEncodingAttribute,
                      Imf::StringAttribute(settings.linear ? linearEncoding : codeValuesEncoding));
        const char *names[4] = {"R", "G", "B", "A"};
        const Imf::PixelType type = settings.half ? Imf::HALF : Imf::FLOAT;
        const size_t channelBytes = settings.half ? sizeof(half) : sizeof(float);
        Imf::FrameBuffer frame;
        for (int c = 0; c < 4; ++c) {
            char *plane = settings.half ? reinterpret_cast<char *>(halfPlanes.data() + pixels * size_t(c))
                                        : reinterpret_cast<char *>(planes.data() + pixels * size_t(c));
            header.channels().insert(names[c], Imf::Channel(type));
            frame.insert(names[c], Imf::Slice(type, plane, channelBytes, channelBytes * size_t(image.width)));
        }
        // The file's own stream, so that its close is seen: OpenEXR writes
        // the line offsets as the output file goes and ignores a failure
        // there, and a small file is written only when the stream closes.
        std::ofstream stream(path, std::ios::binary);
        if (!stream) {
            error = "cannot write " + path;
            return false;
        }
        Imf::StdOFStream exrStream(stream, path.c_str());
        {
            Imf::OutputFile file(exrStream, header);
            file.setFrameBuffer(frame);
            file.writePixels(image.height);
        }
        errno = 0;
        stream.close();
        if (stream.fail()) {
            error = path + ": " + writeFailure();
            return false;
        }
    } catch (const std::exception &e) {
        error = path + ": " + e.what();
        return false;
    }
    return true;
}

bool readExr(const std::string &path, minihost::Image &image, std::string &error, bool *linearLight) {
    if (!regularFile(path, "an OpenEXR file", error)) return false;
    try {
        Imf::InputFile file(path.c_str());
        if (linearLight) {
            const auto *encoding = file.header().findTypedAttribute<Imf::StringAttribute>(valueEncodingAttribute);
            *linearLight = encoding && encoding->value() == linearEncoding;
        }
        const Imath::Box2i window = file.header().dataWindow();
        const int64_t wide = int64_t(window.max.x) - window.min.x + 1, high = int64_t(window.max.y) - window.min.y + 1;
        if (wide < 1 || high < 1 || wide > maxImageSide || high > maxImageSide ||
            wide * high > int64_t(maxImagePixels)) {
            error = path + ": claims " + std::to_string(wide) + " x " + std::to_string(high) +
                    " pixels, more than the " + std::to_string(maxImageSide) + " x " + std::to_string(maxImageSide) +
                    " and " + std::to_string(maxImagePixels) + " pixels this reader takes";
            return false;
        }
        const int width = int(wide), height = int(high);
        const size_t pixels = size_t(width) * size_t(height);
        std::vector<float> planes(pixels * 4, 0.0f);
        const char *names[4] = {"R", "G", "B", "A"};
        Imf::FrameBuffer frame;
        for (int c = 0; c < 4; ++c) {
            // The slice's base is set so that the data window's corner lands
            // on the plane's first element.
            char *base = reinterpret_cast<char *>(planes.data() + pixels * size_t(c)) -
                         (ptrdiff_t(window.min.x) + ptrdiff_t(window.min.y) * width) * ptrdiff_t(sizeof(float));
            frame.insert(names[c], Imf::Slice(Imf::FLOAT, base, sizeof(float), sizeof(float) * size_t(width), 1, 1,
                                              c == 3 ? 1.0 : 0.0));
        }
        file.setFrameBuffer(frame);
        file.readPixels(window.min.y, window.max.y);
        image = minihost::makeImage(width, height, minihost::Depth::Float);
        for (size_t i = 0; i < pixels; ++i) {
            const float alpha = planes[pixels * 3 + i];
            const float scale = alpha > 0.0f ? 1.0f / alpha : 0.0f;
            const float argb[4] = {alpha, planes[i] * scale, planes[pixels + i] * scale,
                                   planes[pixels * 2 + i] * scale};
            std::memcpy(image.data.data() + i * 16, argb, 16);
        }
    } catch (const std::exception &e) {
        error = path + ": " + e.what();
        return false;
    }
    return true;
}

}  // namespace pathbloom
