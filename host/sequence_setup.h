// Sequence data: one block per effect instance (PF_Cmd_SEQUENCE_SETUP,
// PF_Cmd_SEQUENCE_RESETUP and PF_Cmd_SEQUENCE_SETDOWN). The block holds the
// parameter state the UI update last recorded; setup installs a 1-byte block
// holding 0, "nothing recorded yet".
#pragma once

#include "hostapi/hostapi.h"

// Setup and re-setup: disposes of a block the host passes in, then installs
// a fresh one. No handle: 4.
PF_Err sequenceSetup(PF_InData *in_data, PF_OutData *out_data);

// Disposes of the block, if any. Always succeeds; PF_OutData is not touched.
PF_Err sequenceSetdown(PF_InData *in_data);
