// The about text (PF_Cmd_ABOUT).
#pragma once

#include "hostapi/hostapi.h"

// Writes the effect's name and version, a carriage return and its motto into
// return_msg with the host's sprintf.
PF_Err aboutText(PF_InData *in_data, PF_OutData *out_data);
