// Forked workers handing items out through a counter in shared memory and
// reporting through one pipe each; signal handling of the parent and the
// workers.
#include "cli/render_workers.h"

#include <poll.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "cli/output_file.h"

namespace pathbloom {

namespace {

// Shared by the parent and every worker: lock-free atomics only, as they are
// also touched from signal handlers and across processes.
struct SharedState {
    std::atomic<int> next{0};  // the next item to hand out
    std::atomic<int> stop{0};  // 1: take no more items
    std::atomic<int> percent[maxJobs] = {};
};
static_assert(std::atomic<int>::is_always_lock_free, "atomics across processes must not lock");

SharedState *shared = nullptr;
int thisWorker = -1;  // in a worker: its number, 0..jobs-1

// The parent's handler state: the first signal, and the workers to end on a
// second one.
volatile std::sig_atomic_t stopSignal = 0;
pid_t workerPids[maxJobs];
volatile std::sig_atomic_t workerCount = 0;

extern "C" void parentOnSignal(int signal) {
    // Only async-signal-safe calls here.
    if (!stopSignal) {
        stopSignal = signal;
        if (shared) shared->stop.store(1);
        return;
    }
    for (int w = 0; w < workerCount; ++w) kill(workerPids[w], SIGUSR1);
    removePendingFile();
    static const char said[] = "pathbloom: stopped at once by a second signal\n";
    if (write(STDERR_FILENO, said, sizeof said - 1) < 0) {
        // Nothing left to tell it with.
    }
    _exit(128 + signal);
}

extern "C" void workerOnAbort(int signal) {
    removePendingFile();
    _exit(128 + signal);
}

// A message on a worker's pipe: item (int32), kind, payload length (uint32),
// payload.
constexpr char startedItem = 'S', doneItem = 'D', failedItem = 'F';
constexpr size_t headerSize = 9;

bool sendMessage(int fd, int item, char kind, const std::string &payload) {
    std::string message(headerSize, '\0');
    const int32_t number = item;
    const uint32_t length = uint32_t(payload.size());
    std::memcpy(&message[0], &number, 4);
    message[4] = kind;
    std::memcpy(&message[5], &length, 4);
    return writeAll(fd, (message + payload).data(), headerSize + payload.size());
}

void setHandler(int signal, void (*handler)(int), struct sigaction *old = nullptr) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, old);
}

[[noreturn]] void runWorker(int index, int fd, int count, const ItemWork &work, pid_t parent,
                            const sigset_t &unblocked) {
    thisWorker = index;
    setHandler(SIGINT, SIG_IGN);
    setHandler(SIGTERM, SIG_IGN);
    setHandler(SIGUSR1, workerOnAbort);
    prctl(PR_SET_PDEATHSIG, SIGUSR1);
    sigprocmask(SIG_SETMASK, &unblocked, nullptr);
    if (getppid() != parent) workerOnAbort(SIGUSR1);
    while (!shared->stop.load()) {
        const int item = shared->next.fetch_add(1);
        if (item >= count) break;
        shared->percent[index].store(0);
        if (!sendMessage(fd, item, startedItem, "")) break;
        std::string report;
        const bool ok = work(item, report);
        shared->percent[index].store(0);
        if (!ok) shared->stop.store(1);
        if (!sendMessage(fd, item, ok ? doneItem : failedItem, report) || !ok) break;
    }
    close(fd);
    _exit(0);
}

std::string endedHow(int status) {
    if (WIFSIGNALED(status))
        return "ended by signal " + std::to_string(WTERMSIG(status)) + " (" + strsignal(WTERMSIG(status)) + ")";
    return "ended with status " + std::to_string(WEXITSTATUS(status));
}

struct Worker {
    pid_t pid = 0;
    int fd = -1;
    std::string received;
    int item = -1;  // started and not reported yet
};

}  // namespace

void setWorkerPercent(int percent) {
    if (thisWorker >= 0 && shared) shared->percent[thisWorker].store(percent);
}

int workersPercentSum() {
    if (!shared) return 0;
    int sum = 0;
    for (int w = 0; w < workerCount; ++w) sum += shared->percent[w].load();
    return sum;
}

WorkersResult runInWorkers(int jobs, int count, const ItemWork &work, const ItemReport &report, const Tick &tick) {
    WorkersResult result;
    void *memory = mmap(nullptr, sizeof(SharedState), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) {
        result.failed = true;
        result.error = std::string("cannot share memory with the workers: ") + std::strerror(errno);
        return result;
    }
    shared = new (memory) SharedState();
    stopSignal = 0;
    workerCount = 0;
    struct sigaction oldInt {
    }, oldTerm{};
    setHandler(SIGINT, parentOnSignal, &oldInt);
    setHandler(SIGTERM, parentOnSignal, &oldTerm);

    // Signals wait while a worker is forked, until it has its own handlers.
    sigset_t blocked, unblocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGTERM);
    std::vector<Worker> workers;
    const pid_t parent = getpid();
    for (int w = 0; w < jobs; ++w) {
        int fds[2];
        if (pipe(fds) != 0) {
            result.error = std::string("cannot start a worker: ") + std::strerror(errno);
            break;
        }
        sigprocmask(SIG_BLOCK, &blocked, &unblocked);
        const pid_t pid = fork();
        if (pid == 0) {
            close(fds[0]);
            for (const Worker &other : workers) close(other.fd);
            runWorker(w, fds[1], count, work, parent, unblocked);
        }
        const int forkError = errno;
        if (pid > 0) {
            workerPids[w] = pid;
            workerCount = w + 1;
        }
        sigprocmask(SIG_SETMASK, &unblocked, nullptr);
        close(fds[1]);
        if (pid < 0) {
            close(fds[0]);
            result.error = std::string("cannot start a worker: ") + std::strerror(forkError);
            break;
        }
        workers.push_back({pid, fds[0], {}, -1});
    }
    if (!result.error.empty()) {
        result.failed = true;
        shared->stop.store(1);
    }

    std::vector<char> buffer(65536);
    size_t open = workers.size();
    while (open > 0) {
        std::vector<pollfd> polled;
        std::vector<Worker *> polledWorkers;
        for (Worker &worker : workers) {
            if (worker.fd < 0) continue;
            polled.push_back({worker.fd, POLLIN, 0});
            polledWorkers.push_back(&worker);
        }
        const int ready = poll(polled.data(), polled.size(), 100);
        for (size_t p = 0; ready > 0 && p < polled.size(); ++p) {
            if (!polled[p].revents) continue;
            Worker &worker = *polledWorkers[p];
            const ssize_t got = read(worker.fd, buffer.data(), buffer.size());
            if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            if (got <= 0) {
                close(worker.fd);
                worker.fd = -1;
                --open;
                // A worker gone in the middle of an item stops the job.
                if (worker.item >= 0) shared->stop.store(1);
                continue;
            }
            worker.received.append(buffer.data(), size_t(got));
            while (worker.received.size() >= headerSize) {
                int32_t item = 0;
                uint32_t length = 0;
                std::memcpy(&item, &worker.received[0], 4);
                std::memcpy(&length, &worker.received[5], 4);
                if (worker.received.size() < headerSize + length) break;
                const char kind = worker.received[4];
                const std::string payload = worker.received.substr(headerSize, length);
                worker.received.erase(0, headerSize + length);
                if (kind == startedItem) {
                    worker.item = item;
                    continue;
                }
                worker.item = -1;
                if (kind == failedItem) result.failed = true;
                report(item, kind == doneItem, payload, false);
            }
        }
        tick();
    }
    for (Worker &worker : workers) {
        int status = 0;
        while (waitpid(worker.pid, &status, 0) < 0 && errno == EINTR) {
        }
        const bool clean = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (worker.item >= 0 || !clean) {
            result.failed = true;
            if (worker.item >= 0)
                report(worker.item, false, "the worker rendering it " + endedHow(status), true);
            else if (result.error.empty())
                result.error = "a worker " + endedHow(status);
        }
    }
    sigaction(SIGINT, &oldInt, nullptr);
    sigaction(SIGTERM, &oldTerm, nullptr);
    result.stopSignal = stopSignal;
    workerCount = 0;
    shared->~SharedState();
    munmap(memory, sizeof(SharedState));
    shared = nullptr;
    return result;
}

}  // namespace pathbloom
