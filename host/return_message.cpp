// Bounded, format-safe writes into return_msg.
#include "host/return_message.h"

void writeReturnMessage(HostSprintf hostSprintf, PF_OutData *out_data, const char *text) {
    // The precision bounds what is read from `text` as well as what is written.
    hostSprintf(out_data->return_msg, "%.*s", static_cast<int>(PF_MAX_EFFECT_MSG_LEN), text);
}
