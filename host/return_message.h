// Writing a text for the user into return_msg through the host's sprintf.
#pragma once

#include "hostapi/hostapi.h"

using HostSprintf = int (*)(A_char *buffer, const A_char *format, ...);

// Writes `text` into out_data->return_msg with the host's `sprintf`, as data
// (never as a format) and cut to PF_MAX_EFFECT_MSG_LEN characters, so any
// text fits the field with its terminator.
void writeReturnMessage(HostSprintf hostSprintf, PF_OutData *out_data, const char *text);
