// The 32-bit build's general command: echo the host's text into return_msg.
#include "host/completely_general.h"

#include "host/return_message.h"

PF_Err completelyGeneral(PF_InData *in_data, PF_OutData *out_data, void *extra) {
    if (extra) writeReturnMessage(in_data->utils->ansi.sprintf, out_data, static_cast<const char *>(extra));
    return PF_Err_NONE;
}
