// Worker processes for `pathbloom render`: items (frames) handed out one at a
// time to forked copies of the command, each with its own copy of the effect
// instances, their reports passed back to the parent through pipes.
//
// Processes rather than threads: minihost keeps the masks it hands out in one
// process-wide table that is not locked, and a process that crashes on a
// frame is reported instead of taking the job with it.
#pragma once

#include <functional>
#include <string>

namespace pathbloom {

// Most workers a render runs.
constexpr int maxJobs = 256;

// Runs in a worker: does item `item` and fills `report` (any bytes) for the
// parent. False stops the other workers after their current item.
using ItemWork = std::function<bool(int item, std::string &report)>;
// Runs in the parent as reports arrive, in any order. `ok` is what the work
// returned; false with `report` "ended by signal 11 (Segmentation fault)" or
// similar when the worker died on the item.
using ItemReport = std::function<void(int item, bool ok, const std::string &report, bool crashed)>;
// Runs in the parent about ten times a second and after each report.
using Tick = std::function<void()>;

struct WorkersResult {
    int stopSignal = 0;   // SIGINT or SIGTERM when one asked the job to stop; 0 otherwise
    bool failed = false;  // an item's work returned false, a worker died or did not start
    std::string error;    // what kept a worker from starting, or a worker that died between items
};

// Runs `work` on items 0..count-1 in `jobs` (1..maxJobs) forked workers, each
// taking the next item when done with one. Stops handing out items after a
// failure or, in the parent, a first SIGINT or SIGTERM: the workers finish the
// item they are on and end. A second signal ends the workers and the parent
// at once, each removing the file it was writing (output_file.h), with status
// 128 + the signal. Workers ignore SIGINT and SIGTERM themselves (a terminal
// sends them to the whole process group) and end as the second signal does
// when the parent dies. The parent's own handlers are put back afterwards.
WorkersResult runInWorkers(int jobs, int count, const ItemWork &work, const ItemReport &report, const Tick &tick);

// In a worker: how far along its item is, 0..100, for the parent's progress
// bar. Does nothing outside a worker.
void setWorkerPercent(int percent);
// In the parent while workers run: the sum of their items' percentages.
int workersPercentSum();

}  // namespace pathbloom
