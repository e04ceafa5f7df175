// Sequence data: one block per effect instance (PF_Cmd_SEQUENCE_SETUP,
// PF_Cmd_SEQUENCE_RESETUP and PF_Cmd_SEQUENCE_SETDOWN).
#pragma once

#include "hostapi/hostapi.h"

// Setup and re-setup: disposes of a block the host passes in, then installs
// a fresh one.
PF_Err sequenceSetup(PF_InData *in_data, PF_OutData *out_data);

// Disposes of the block, if any. Always succeeds.
PF_Err sequenceSetdown(PF_InData *in_data);
