// Output files renamed into place when complete, and the signal handling that
// removes a half-written one.
#include "cli/output_file.h"

#include <sys/wait.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace pathbloom {

namespace {

// The temporary file being written, for the signal handler: a fixed buffer,
// so that the handler reads it without allocating, valid while `pending`.
char pendingPath[4096];
volatile std::sig_atomic_t pending = 0;
volatile pid_t pendingWriter = 0;

extern "C" void stopOnSignal(int signal) {
    // Only async-signal-safe calls here.
    removePendingFile();
    _exit(128 + signal);
}

std::string temporaryPath(const std::string &path) {
    const auto slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return folder + "." + name + "." + std::to_string(getpid()) + ".part";
}

void track(const std::string &temporary) {
    if (temporary.size() >= sizeof pendingPath) return;  // past any path the system takes
    std::memcpy(pendingPath, temporary.c_str(), temporary.size() + 1);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    pending = 1;
}

void untrack() {
    pending = 0;
    std::atomic_signal_fence(std::memory_order_seq_cst);
}

}  // namespace

void removePendingFile() {
    // The writer is gone before the file is: it cannot create it again.
    if (const pid_t writer = pendingWriter; writer > 0) {
        kill(writer, SIGKILL);
        waitpid(writer, nullptr, 0);
        pendingWriter = 0;
    }
    if (pending) unlink(pendingPath);
}

void setPendingWriter(pid_t child) {
    std::atomic_signal_fence(std::memory_order_seq_cst);
    pendingWriter = child;
    std::atomic_signal_fence(std::memory_order_seq_cst);
}

int removeStaleTemporaries(const std::string &folder, const std::function<bool(const std::string &name)> &ours) {
    int removed = 0;
    std::error_code error;
    // Incremented with an error code: a listing that fails part way ends the
    // tidying, not the render.
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::filesystem::directory_entry &entry = *it;
        // ".NAME.PID.part": NAME is everything between the first dot and the
        // dot before the process number.
        const std::string file = entry.path().filename().string();
        if (file.size() < 8 || file[0] != '.' || file.compare(file.size() - 5, 5, ".part") != 0) continue;
        const std::string rest = file.substr(1, file.size() - 6);
        const auto dot = rest.find_last_of('.');
        if (dot == std::string::npos) continue;
        const std::string digits = rest.substr(dot + 1);
        if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const pid_t pid = pid_t(std::stol(digits));
        if (pid <= 0 || pid == getpid() || !ours(rest.substr(0, dot))) continue;
        if (kill(pid, 0) == 0 || errno != ESRCH) continue;
        if (std::remove(entry.path().c_str()) == 0) ++removed;
    }
    return removed;
}

bool writeWhole(const std::string &path, const FileWriter &write, std::string &error) {
    const std::string temporary = temporaryPath(path);
    track(temporary);
    bool ok = write(temporary, error);
    if (ok && std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = "cannot rename " + temporary + " to " + path + ": " + std::strerror(errno);
        ok = false;
    }
    if (!ok) {
        std::remove(temporary.c_str());
        // The writer named the file it was given; the user knows the final one.
        for (auto at = error.find(temporary); at != std::string::npos; at = error.find(temporary, at + path.size()))
            error.replace(at, temporary.size(), path);
    }
    untrack();
    return ok;
}

void stopCleanlyOnSignals() {
    struct sigaction action {};
    action.sa_handler = stopOnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool writeAll(int fd, const void *data, size_t size) {
    const char *at = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t written = write(fd, at, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        at += written;
        size -= size_t(written);
    }
    return true;
}

}  // namespace pathbloom
