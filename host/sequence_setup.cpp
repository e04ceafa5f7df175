// Sequence setup, re-setup and setdown.
#include "host/sequence_data.h"

PF_Err sequenceSetup(PF_InData *in_data, PF_OutData *out_data) {
    (void)in_data;
    (void)out_data;
    return PF_Err_NONE;
}

PF_Err sequenceSetdown(PF_InData *in_data) {
    (void)in_data;
    return PF_Err_NONE;
}
