// Output files written whole or not at all: each goes to a temporary name in
// its own folder and is renamed into place once complete, so that a failure,
// an interrupt or a kill never leaves a cut file under the final name.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>

namespace pathbloom {

// Writes `path` by handing `write` a temporary path beside it
// (".NAME.PID.part"), then renames that into place. False with the writer's
// or the rename's message, naming `path`; the temporary file is removed and
// an earlier file at `path` is left as it was.
using FileWriter = std::function<bool(const std::string &temporaryPath, std::string &error)>;
bool writeWhole(const std::string &path, const FileWriter &write, std::string &error);

// Removes the temporary file this process is writing, if any, after ending
// (SIGKILL) and reaping the child process writing it for us, if one is set.
// Safe to call from a signal handler.
void removePendingFile();

// The child process (an encoder) that writes the pending temporary file, or 0
// for none. Set it with SIGINT and SIGTERM blocked from before the child is
// started, so that no signal finds the child running but not known.
void setPendingWriter(pid_t child);

// Removes from `folder` the temporary files (".NAME.PID.part") that processes
// no longer running on this machine left for the final names NAME that `ours`
// accepts: what a killed render leaves. A live process's file, another
// machine's included when its process number is running here, is left alone.
// Returns how many it removed.
int removeStaleTemporaries(const std::string &folder, const std::function<bool(const std::string &name)> &ours);

// Writes all `size` bytes to `fd` (a pipe or file), going on after
// interruptions and partial writes. False on an error, errno saying which.
bool writeAll(int fd, const void *data, size_t size);

// From now on SIGINT and SIGTERM remove the temporary file being written, if
// any, and end the process with status 128 + the signal: 130 and 143.
void stopCleanlyOnSignals();

}  // namespace pathbloom
