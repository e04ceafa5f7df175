// Global setup and setdown.
#include "host/global_data.h"

#include "host/suite_handler.h"
#include "resources/pipl_description.h"

PF_Err globalSetup(PF_InData *in_data, PF_OutData *out_data) {
    SuiteHandler suites(in_data->pica_basicP);
    // The same values as the property list: the host checks they agree.
    out_data->my_version = pipl::kEffectVersion;
    out_data->out_flags |= pipl::kOutFlags;
    out_data->out_flags2 |= pipl::kOutFlags2;
    // The global data block is made here.
    return PF_Err_NONE;
}

PF_Err globalSetdown(PF_InData *in_data) {
    (void)in_data;
    return PF_Err_NONE;
}
