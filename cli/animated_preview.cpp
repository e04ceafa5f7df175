// Animated previews: the frame files read back in frame order, converted to
// 8-bit pixels and piped into an ffmpeg child process, which scales and
// encodes them.
#include "cli/animated_preview.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "cli/output_file.h"
#include "cli/printed.h"

namespace pathbloom {

namespace {

std::string lowered(std::string text) {
    for (char &c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool endsWith(const std::string &text, const std::string &end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The palette palettegen makes: 16 x 16 colours, as RGBA.
constexpr int paletteSide = 16;
constexpr long paletteBytes = paletteSide * paletteSide * 4;

// Lines of ffmpeg's messages kept in an error.
constexpr int messageLines = 5;

// The last `lines` lines of the file `fd` (of its last 4 KiB), each on a line
// of its own, indented.
std::string lastLines(int fd, int lines) {
    const off_t size = lseek(fd, 0, SEEK_END);
    const off_t start = std::max<off_t>(0, size - 4096);
    std::string text(size_t(std::max<off_t>(size - start, 0)), '\0');
    const ssize_t got = text.empty() ? 0 : pread(fd, &text[0], text.size(), start);
    text.resize(size_t(std::max<ssize_t>(got, 0)));
    std::vector<std::string> kept;
    for (size_t begin = 0; begin < text.size();) {
        const size_t end = std::min(text.find('\n', begin), text.size());
        const std::string line = text.substr(begin, end - begin);
        if (line.find_first_not_of(" \r") != std::string::npos) kept.push_back(line);
        begin = end + 1;
    }
    std::string said;
    for (size_t i = kept.size() > size_t(lines) ? kept.size() - size_t(lines) : 0; i < kept.size(); ++i)
        said += "\n  " + kept[i];
    return said;
}

struct FileCloser {
    void operator()(FILE *file) const { std::fclose(file); }
};
using TemporaryFile = std::unique_ptr<FILE, FileCloser>;

// An ffmpeg process being fed frames on its stdin.
struct Encoder {
    pid_t pid = -1;
    int input = -1;  // its stdin, the write end of a pipe
    TemporaryFile messages;
};

// `fd` copied to a number above the standard ones and 3, so that putting the
// child's descriptors in place never overwrites one still to be copied.
int aboveStandard(int fd) { return fd < 0 ? -1 : fcntl(fd, F_DUPFD_CLOEXEC, 10); }

// Starts `program` with `arguments`: stdin a pipe, stdout `output` (-1: its
// messages file), stderr its messages file (unlinked, read back on failure),
// descriptor 3 `extra` when one is given.
bool startEncoder(const std::string &program, const std::vector<std::string> &arguments, int output, int extra,
                  Encoder &encoder, std::string &error) {
    encoder.messages.reset(std::tmpfile());
    int pipeFds[2];
    if (!encoder.messages || pipe2(pipeFds, O_CLOEXEC) != 0) {
        error = std::string("cannot start ffmpeg: ") + std::strerror(errno);
        return false;
    }
    const int messagesFd = fileno(encoder.messages.get());
    const int fds[4] = {aboveStandard(pipeFds[0]), aboveStandard(output < 0 ? messagesFd : output),
                        aboveStandard(messagesFd), aboveStandard(extra)};
    close(pipeFds[0]);
    if (fds[0] < 0 || fds[1] < 0 || fds[2] < 0 || (extra >= 0 && fds[3] < 0)) {
        const int copyError = errno;
        for (const int fd : fds)
            if (fd >= 0) close(fd);
        close(pipeFds[1]);
        error = std::string("cannot start ffmpeg: ") + std::strerror(copyError);
        return false;
    }
    std::vector<char *> argv{const_cast<char *>(program.c_str())};
    for (const std::string &argument : arguments) argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);

    // Signals wait until the child is known to the handler that ends it.
    sigset_t blocked, previous;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGTERM);
    sigprocmask(SIG_BLOCK, &blocked, &previous);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        for (int target = 0; target < 4; ++target)
            if (fds[target] >= 0) dup2(fds[target], target);
        for (const int signal : {SIGINT, SIGTERM, SIGPIPE}) std::signal(signal, SIG_DFL);
        sigprocmask(SIG_SETMASK, &previous, nullptr);
        // Ends with this process, however it ends.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127);
        execv(program.c_str(), argv.data());
        static const char said[] = "pathbloom: cannot run ffmpeg\n";
        if (write(STDERR_FILENO, said, sizeof said - 1) < 0) {
            // Nothing left to tell it with; the status says it.
        }
        _exit(127);
    }
    const int forkError = errno;
    if (pid > 0) setPendingWriter(pid);
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    for (const int fd : fds)
        if (fd >= 0) close(fd);
    if (pid < 0) {
        close(pipeFds[1]);
        error = std::string("cannot start ffmpeg: ") + std::strerror(forkError);
        return false;
    }
    encoder.pid = pid;
    encoder.input = pipeFds[1];
    return true;
}

// Closes its stdin (or kills it, `abandon`) and waits for it. False with its
// last messages unless it ended with status 0.
bool finishEncoder(Encoder &encoder, bool abandon, std::string &error) {
    if (encoder.input >= 0) close(encoder.input);
    encoder.input = -1;
    if (abandon) kill(encoder.pid, SIGKILL);
    // Waited for without reaping, then reaped with signals held, so that the
    // signal handler never ends a process number that is no longer ours.
    siginfo_t info{};
    while (waitid(P_PID, id_t(encoder.pid), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
    }
    sigset_t blocked, previous;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGTERM);
    sigprocmask(SIG_BLOCK, &blocked, &previous);
    int status = 0;
    const pid_t reaped = waitpid(encoder.pid, &status, 0);
    setPendingWriter(0);
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    if (abandon) return false;
    if (reaped == encoder.pid && WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
    const std::string how = reaped != encoder.pid ? std::string("was lost: ") + std::strerror(errno)
                            : WIFSIGNALED(status)
                                ? printed("ended by signal %d (%s)", WTERMSIG(status), strsignal(WTERMSIG(status)))
                                : printed("failed with exit status %d", WEXITSTATUS(status));
    error = "ffmpeg " + how + lastLines(fileno(encoder.messages.get()), messageLines);
    return false;
}

// Frame `index` of the job as the encoder reads it; its size must be
// width x height (0 x 0: any, set from it).
bool readPreviewFrame(const PreviewJob &job, size_t index, bool overBlack, int &width, int &height,
                      std::vector<uint8_t> &pixels, std::string &error) {
    const FrameFile file = job.frame(index);
    minihost::Image image;
    bool linearLight = false;
    if (!(file.format == ImageFormat::Exr ? readExr(file.path, image, error, &linearLight)
                                          : readPng(file.path, image, error)))
        return false;
    if (width == 0) {
        width = image.width;
        height = image.height;
    } else if (image.width != width || image.height != height) {
        error = printed("%s is %d x %d pixels, the first frame %d x %d: no preview of frames of different sizes",
                        file.path.c_str(), image.width, image.height, width, height);
        return false;
    }
    previewPixels(image, overBlack, linearLight, pixels);
    return true;
}

// Runs ffmpeg with `arguments` after the raw frames input and feeds it every
// frame of the job.
bool encodeFrames(const std::string &program, const PreviewJob &job, bool overBlack, int width, int height,
                  const std::vector<std::string> &arguments, int output, int extra, std::string &error) {
    std::vector<std::string> all{"-hide_banner", "-nostdin",
                                 "-loglevel",    "error",
                                 "-f",           "rawvideo",
                                 "-pix_fmt",     overBlack ? "rgb24" : "rgba",
                                 "-s",           printed("%dx%d", width, height),
                                 "-framerate",   printed("%ld/1000", std::lround(job.fps * 1000)),
                                 "-i",           "pipe:0"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    Encoder encoder;
    if (!startEncoder(program, all, output, extra, encoder, error)) return false;
    std::vector<uint8_t> pixels;
    size_t fed = 0;
    for (; fed < job.frameCount; ++fed) {
        std::string readError;
        if (!readPreviewFrame(job, fed, overBlack, width, height, pixels, readError)) {
            finishEncoder(encoder, true, error);
            error = readError;
            return false;
        }
        // A pipe that takes no more is an encoder that has ended: its
        // status and messages say why.
        if (!writeAll(encoder.input, pixels.data(), pixels.size())) break;
    }
    if (!finishEncoder(encoder, false, error)) return false;
    if (fed < job.frameCount) {
        error = printed("ffmpeg stopped reading after %zu of %zu frames", fed, job.frameCount);
        return false;
    }
    return true;
}

std::string scaled(PreviewSize size) { return printed("scale=%d:%d:flags=area", size.width, size.height); }

bool encodePreview(const std::string &program, const PreviewJob &job, const std::string &path, std::string &error) {
    const PreviewFormat format = previewFormatOf(job.path);
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;
    if (!readPreviewFrame(job, 0, false, width, height, pixels, error)) return false;
    const PreviewSize size = previewSize(format, width, height, job.width);
    // "file:" so that no name is taken for an option or a protocol.
    const std::string output = "file:" + path;
    if (format == PreviewFormat::mp4) {
        return encodeFrames(program, job, true, width, height,
                            {"-vf",
                             scaled(size) + ":out_color_matrix=bt709:out_range=tv,format=yuv420p",
                             "-c:v",
                             "libx264",
                             "-pix_fmt",
                             "yuv420p",
                             "-crf",
                             "18",
                             "-colorspace",
                             "bt709",
                             "-color_primaries",
                             "bt709",
                             "-color_trc",
                             "bt709",
                             "-movflags",
                             "+faststart",
                             "-f",
                             "mp4",
                             "-y",
                             output},
                            -1, -1, error);
    }
    if (format == PreviewFormat::webp) {
        // Scaled with premultiplied colour, so that the colour of transparent
        // pixels does not bleed into the edges.
        std::vector<std::string> arguments;
        if (size.width != width || size.height != height)
            arguments = {"-vf", "premultiply=inplace=1," + scaled(size) + ",unpremultiply=inplace=1"};
        arguments.insert(arguments.end(),
                         {"-c:v", "libwebp_anim", "-quality", "90", "-loop", "0", "-f", "webp", "-y", output});
        return encodeFrames(program, job, false, width, height, arguments, -1, -1, error);
    }
    // gif: a palette of all the frames first, then the frames on it. Two
    // passes over the files rather than ffmpeg holding every frame at once.
    TemporaryFile palette(std::tmpfile());
    if (!palette) {
        error = std::string("cannot make a temporary file for the palette: ") + std::strerror(errno);
        return false;
    }
    const int paletteFd = fileno(palette.get());
    if (!encodeFrames(
            program, job, true, width, height,
            {"-vf", scaled(size) + ",palettegen", "-frames:v", "1", "-f", "rawvideo", "-pix_fmt", "rgba", "pipe:1"},
            paletteFd, -1, error))
        return false;
    if (lseek(paletteFd, 0, SEEK_END) != paletteBytes || lseek(paletteFd, 0, SEEK_SET) != 0) {
        error = "ffmpeg's palettegen gave no 16 x 16 palette";
        return false;
    }
    return encodeFrames(program, job, true, width, height,
                        {"-f", "rawvideo", "-pix_fmt", "rgba", "-s", printed("%dx%d", paletteSide, paletteSide), "-i",
                         "pipe:3", "-lavfi", "[0:v]" + scaled(size) + "[frames];[frames][1:v]paletteuse", "-loop", "0",
                         "-f", "gif", "-y", output},
                        -1, paletteFd, error);
}

}  // namespace

PreviewFormat previewFormatOf(const std::string &path) {
    const std::string name = lowered(path);
    return endsWith(name, ".mp4")    ? PreviewFormat::mp4
           : endsWith(name, ".webp") ? PreviewFormat::webp
           : endsWith(name, ".gif")  ? PreviewFormat::gif
                                     : PreviewFormat::none;
}

std::vector<std::string> renamedPreviewFlag(const std::vector<std::string> &arguments) {
    std::vector<std::string> renamed;
    const std::string flag = "--preview", withValue = flag + "=";
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string &argument = arguments[i];
        if (argument == "--") {
            renamed.insert(renamed.end(), arguments.begin() + long(i), arguments.end());
            break;
        }
        if (argument == flag && !(i + 1 < arguments.size() && previewFormatOf(arguments[i + 1]) != PreviewFormat::none))
            renamed.push_back("--png-preview");
        else if (argument.rfind(withValue, 0) == 0 &&
                 previewFormatOf(argument.substr(withValue.size())) == PreviewFormat::none)
            renamed.push_back("--png-preview=" + argument.substr(withValue.size()));
        else
            renamed.push_back(argument);
    }
    return renamed;
}

PreviewSize previewSize(PreviewFormat format, int frameWidth, int frameHeight, int width) {
    if (width <= 0) width = frameWidth;
    const int64_t across = std::max(frameWidth, 1), down = frameHeight;
    if (format == PreviewFormat::mp4) {
        width += width % 2;
        // Nearest even: twice the nearest whole number to half the height.
        return {width, std::max(2, int(2 * ((int64_t(width) * down + across) / (2 * across))))};
    }
    return {width, std::max(1, int((2 * int64_t(width) * down + across) / (2 * across)))};
}

void previewPixels(const minihost::Image &frame, bool overBlack, bool linearLight, std::vector<uint8_t> &pixels) {
    // Code values first: a linear-light EXR's colour back through the sRGB curve.
    minihost::Image encoded;
    if (linearLight && frame.depth == minihost::Depth::Float) {
        encoded = frame;
        for (size_t i = 0; i + 16 <= encoded.data.size(); i += 16)
            for (size_t c = 1; c < 4; ++c) {
                float value;
                std::memcpy(&value, &encoded.data[i + 4 * c], 4);
                value = srgbFromLinear(value);
                std::memcpy(&encoded.data[i + 4 * c], &value, 4);
            }
    }
    const minihost::Image eight =
        minihost::convertImage(encoded.data.empty() ? frame : encoded, minihost::Depth::Bits8);
    const size_t count = size_t(frame.width) * size_t(frame.height);
    const size_t channels = overBlack ? 3 : 4;
    pixels.resize(count * channels);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t *at = eight.data.data() + i * 4;  // ARGB
        uint8_t *into = pixels.data() + i * channels;
        for (int c = 0; c < 3; ++c) into[c] = overBlack ? uint8_t((at[c + 1] * at[0] + 127) / 255) : at[c + 1];
        if (!overBlack) into[3] = at[0];
    }
}

std::string findProgram(const std::string &name, const std::string &searchPath) {
    size_t begin = 0;
    while (begin <= searchPath.size()) {
        const size_t end = std::min(searchPath.find(':', begin), searchPath.size());
        const std::string folder = searchPath.substr(begin, end - begin);
        const std::string path = (folder.empty() ? std::string(".") : folder) + "/" + name;
        struct stat info {};
        if (stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0) return path;
        begin = end + 1;
    }
    return {};
}

bool writeAnimatedPreview(const PreviewJob &job, std::string &error) {
    if (previewFormatOf(job.path) == PreviewFormat::none || job.frameCount == 0) {
        error = "--preview: \"" + job.path + "\" is not a .mp4, .webp or .gif file, or there are no frames";
        return false;
    }
    const char *searchPath = std::getenv("PATH");
    // execvp's search when PATH is not set.
    const std::string program = findProgram("ffmpeg", searchPath ? searchPath : "/bin:/usr/bin");
    if (program.empty()) {
        error = "cannot write the preview " + job.path +
                ": ffmpeg is not found on PATH; install it (Debian and Ubuntu: apt-get install ffmpeg)";
        return false;
    }
    // ffmpeg ending early closes the pipe: a write error, not SIGPIPE.
    struct sigaction ignore {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, &previous);
    const bool ok = writeWhole(
        job.path,
        [&](const std::string &path, std::string &message) { return encodePreview(program, job, path, message); },
        error);
    sigaction(SIGPIPE, &previous, nullptr);
    if (!ok) error = "cannot write the preview " + job.path + ": " + error;
    return ok;
}

}  // namespace pathbloom
