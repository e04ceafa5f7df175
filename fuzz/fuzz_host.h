// What both fuzz harnesses share: the plug-in they load, kept loaded for the
// whole run, and the check that a command left nothing outstanding.
#pragma once

#include <string>

#include "minihost/minihost.h"

namespace pathbloom::fuzz {

// The plug-in under test: PATHBLOOM_FUZZ_PLUGIN from the environment, else
// the one built beside the harness. Loaded once and never unloaded, so that
// the fuzzer's coverage counters inside it stay mapped when minihost closes it.
const std::string &pluginPath();

// Opens the plug-in in `host` and sets the effect up; aborts the run when that
// fails, since no input could get further.
void startEffect(minihost::Host &host);
void stopEffect(minihost::Host &host);

// Traps (a crash the fuzzer reports with its input) when the ledger shows a
// suite, handle lock, world, checkout, pre-render block, effect, stream or
// stream value outstanding, or an invalid call. `after` names the command.
void requireClearLedger(const minihost::Host &host, const char *after);

}  // namespace pathbloom::fuzz
