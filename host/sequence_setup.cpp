// Sequence setup, re-setup and setdown.
#include "host/sequence_setup.h"

#include "host/host_owners.h"
#include "host/suite_handler.h"

namespace {

void disposeSequenceData(const PF_HandleSuite1 *handles, PF_InData *in_data) {
    if (in_data->sequence_data) handles->host_dispose_handle(in_data->sequence_data);
}

}  // namespace

PF_Err sequenceSetup(PF_InData *in_data, PF_OutData *out_data) {
    SuiteHandler suites(in_data->pica_basicP);
    const PF_HandleSuite1 *handles = suite<SuiteId::Handle>(suites);
    if (in_data->sequence_data) {
        disposeSequenceData(handles, in_data);
        // The host must not keep a block that is gone, even if no new one
        // can be made below.
        if (out_data->sequence_data == in_data->sequence_data) out_data->sequence_data = nullptr;
    }

    PF_Handle handle = handles->host_new_handle(1);
    if (!handle) return PF_Err_OUT_OF_MEMORY;
    HostHandleOwner owner(handleFunctions(handles), handle);
    A_u_char *block = static_cast<A_u_char *>(owner.lock());
    if (!block) return PF_Err_NONE;
    *block = 0;
    out_data->sequence_data = handle;
    owner.owned = false;
    return PF_Err_NONE;
}

PF_Err sequenceSetdown(PF_InData *in_data) {
    SuiteHandler suites(in_data->pica_basicP);
    disposeSequenceData(suite<SuiteId::Handle>(suites), in_data);
    return PF_Err_NONE;
}
