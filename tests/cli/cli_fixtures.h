// Shared set-up of the pathbloom command's tests: the plug-in's registered
// parameters, scratch folders and small files.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "minihost/minihost.h"

// The registered definitions of the plug-in under test (the main profile),
// read once through minihost. Empty with a failed test when it cannot load.
const std::vector<PF_ParamDef> &registeredParams();
std::string mainPluginPath();

// A fresh empty folder for the running test, under the system's temp folder.
std::string scratchFolder();

void writeTextFile(const std::string &path, const std::string &text);

// Runs the built pathbloom command with `arguments` (shell words), with the
// `environment` assignments before it ("PATH='/x'"); returns its exit status
// and what it wrote to stdout and stderr.
struct CommandResult {
    int status = -1;
    std::string out, err;
};
// Sends `signal` to the child process `child` once `ready()` holds, then
// waits for it; its wait status in `status`. False, without a signal, when
// the child ended before it was ready.
bool signalWhenReady(pid_t child, const std::function<bool()> &ready, int signal, int &status);

CommandResult runPathbloom(const std::string &arguments, const std::string &environment = "");

// `err` of a render without its log lines ("frame 3 written: ..."), which it
// prints when stderr is not a terminal.
std::string withoutFrameLog(const std::string &err);

// Bit depth and colour type bytes of a PNG's header; false for a non-PNG.
struct PngHeader {
    int width = 0, height = 0, bitDepth = 0, colorType = 0;
};
bool readPngHeader(const std::string &path, PngHeader &header);
