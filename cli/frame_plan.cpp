// --frames lists and -o patterns of `pathbloom render`.
#include "cli/frame_plan.h"

#include <algorithm>
#include <cctype>

#include "cli/printed.h"

namespace pathbloom {

namespace {

bool parseSpan(const std::string &text, FrameSpan &span) {
    const auto dash = text.find('-');
    if (dash == std::string::npos) {
        if (!parseNumber(text, span.first)) return false;
        span.last = span.first;
        span.step = 1;
        return span.first <= maxFrameNumber;
    }
    const auto times = text.find('x', dash);
    const std::string last = text.substr(dash + 1, times == std::string::npos ? std::string::npos : times - dash - 1);
    span.step = 1;
    if (times != std::string::npos && (!parseNumber(text.substr(times + 1), span.step) || span.step < 1)) return false;
    return parseNumber(text.substr(0, dash), span.first) && parseNumber(last, span.last) && span.first <= span.last &&
           span.last <= maxFrameNumber;
}

std::string lowered(std::string text) {
    for (char &c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool endsWith(const std::string &text, const std::string &end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string replacedExtension(const std::string &path, const char *extension) {
    const auto dot = path.find_last_of('.');
    return path.substr(0, dot) + extension;
}

}  // namespace

bool parseNumber(const std::string &text, int &value) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    value = std::stoi(text);
    return true;
}

bool parseFrameSpans(const std::string &text, std::vector<FrameSpan> &spans) {
    spans.clear();
    size_t begin = 0;
    while (true) {
        const auto comma = text.find(',', begin);
        FrameSpan span;
        if (!parseSpan(text.substr(begin, comma == std::string::npos ? std::string::npos : comma - begin), span))
            return false;
        spans.push_back(span);
        if (comma == std::string::npos) return true;
        begin = comma + 1;
    }
}

bool selectFrames(const std::vector<FrameSpan> &spans, int first, int last, std::vector<int> &frames,
                  std::string &error) {
    for (const FrameSpan &span : spans) {
        const int outside = span.first < first ? span.first : span.last > last ? span.last : -1;
        if (outside >= 0) {
            error = "frame " + std::to_string(outside) + " is outside the scene's frames " + std::to_string(first) +
                    "-" + std::to_string(last);
            return false;
        }
    }
    // A mark per scene frame: a list that repeats a range still renders it once.
    std::vector<bool> chosen(size_t(last - first) + 1, false);
    for (const FrameSpan &span : spans)
        for (long frame = span.first; frame <= span.last; frame += span.step) chosen[size_t(frame - first)] = true;
    frames.clear();
    for (size_t i = 0; i < chosen.size(); ++i)
        if (chosen[i]) frames.push_back(first + int(i));
    return true;
}

bool parseOutput(const std::string &text, OutputNaming &naming, std::string &error) {
    naming = OutputNaming{};
    const auto slash = text.find_last_of('/');
    const std::string name = slash == std::string::npos ? text : text.substr(slash + 1);
    const std::string extension = lowered(name.size() >= 4 ? name.substr(name.size() - 4) : "");
    if (name.find_first_of("#%") == std::string::npos && extension != ".png" && extension != ".exr") {
        naming.folder = text;
        return true;
    }
    naming.pattern = true;
    naming.folder = slash == std::string::npos ? "." : slash == 0 ? "/" : text.substr(0, slash);
    const std::string folderPart = slash == std::string::npos ? "" : text.substr(0, slash + 1);
    if (extension != ".png" && extension != ".exr") {
        error = "-o: \"" + text + "\": a pattern ends in .png or .exr";
        return false;
    }
    naming.format = extension == ".png" ? ImageFormat::Png : ImageFormat::Exr;
    size_t at = std::string::npos, length = 0;
    for (size_t i = 0; i < name.size();) {
        size_t run = 0;
        int width = 0;
        if (name[i] == '#') {
            while (i + run < name.size() && name[i + run] == '#') ++run;
            width = int(run);
        } else if (name[i] == '%') {
            // "%d" or "%0Nd": N digits, zero-padded.
            size_t end = i + 1;
            while (end < name.size() && std::isdigit(static_cast<unsigned char>(name[end]))) ++end;
            const std::string digits = name.substr(i + 1, end - i - 1);
            if (end >= name.size() || name[end] != 'd' ||
                (!digits.empty() && (digits[0] != '0' || digits.size() < 2))) {
                error = "-o: \"" + text + "\": '%' starts \"%d\" or \"%0Nd\" only";
                return false;
            }
            run = end + 1 - i;
            width = digits.empty() ? 1 : std::stoi(digits.substr(1, 3));
        } else {
            ++i;
            continue;
        }
        if (at != std::string::npos) {
            error = "-o: \"" + text + "\": more than one frame number in the file name";
            return false;
        }
        if (width < 1 || width > 10) {
            error = "-o: \"" + text + "\": a frame number is padded to 1..10 digits";
            return false;
        }
        at = i;
        length = run;
        naming.width = width;
        i += run;
    }
    if (at == std::string::npos) {
        error = "-o: \"" + text + "\": no frame number (#### or %04d) in the file name";
        return false;
    }
    naming.prefix = folderPart + name.substr(0, at);
    naming.suffix = name.substr(at + length);
    return true;
}

std::string frameFileName(int frame, const std::string &extension) {
    return printed("frame_%04d.%s", frame, extension.c_str());
}

std::vector<FrameFile> frameFiles(const OutputNaming &naming, int frame, minihost::Depth depth, bool preview) {
    const bool floating = depth == minihost::Depth::Float;
    if (!naming.pattern) {
        const std::string png = naming.folder + "/" + frameFileName(frame, "png");
        if (!floating) return {{png, ImageFormat::Png}};
        std::vector<FrameFile> files{{naming.folder + "/" + frameFileName(frame, "exr"), ImageFormat::Exr}};
        if (preview) files.push_back({png, ImageFormat::Png});
        return files;
    }
    const std::string path = naming.prefix + printed("%0*d", naming.width, frame) + naming.suffix;
    std::vector<FrameFile> files{{path, naming.format}};
    if (preview && floating && naming.format == ImageFormat::Exr)
        files.push_back({replacedExtension(path, endsWith(naming.suffix, ".EXR") ? ".PNG" : ".png"), ImageFormat::Png});
    return files;
}

bool frameOfFileName(const OutputNaming &naming, const std::string &name, int &frame) {
    const auto slash = naming.prefix.find_last_of('/');
    const std::string before = !naming.pattern              ? "frame_"
                               : slash == std::string::npos ? naming.prefix
                                                            : naming.prefix.substr(slash + 1);
    const size_t digitsEnd = name.find_first_not_of("0123456789", std::min(before.size(), name.size()));
    if (name.compare(0, before.size(), before) != 0 || digitsEnd == std::string::npos ||
        !parseNumber(name.substr(before.size(), digitsEnd - before.size()), frame))
        return false;
    // A name frameFiles gives (a float frame with a preview has them all),
    // and no other spelling of the number.
    for (const FrameFile &file : frameFiles(naming, frame, minihost::Depth::Float, true)) {
        const auto at = file.path.find_last_of('/');
        if ((at == std::string::npos ? file.path : file.path.substr(at + 1)) == name) return true;
    }
    return false;
}

}  // namespace pathbloom
