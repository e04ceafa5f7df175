// Global data: one block per loaded plug-in (PF_Cmd_GLOBAL_SETUP and
// PF_Cmd_GLOBAL_SETDOWN).
#pragma once

#include "hostapi/hostapi.h"

// Declares the effect's version and capability flags (or-ed into what the
// host put there), then makes the global data and registers the plug-in for
// the host's AEGP services. No handle: 512. A failed registration returns
// the host's error and installs no global data.
PF_Err globalSetup(PF_InData *in_data, PF_OutData *out_data);

// Disposes of the global data, if any (x64 build; the 32-bit build leaves it
// to the host). Always succeeds.
PF_Err globalSetdown(PF_InData *in_data);
