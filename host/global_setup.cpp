// Global setup and setdown.
#include "host/global_setup.h"

#include "host/global_data.h"
#include "host/host_owners.h"
#include "host/suite_handler.h"
#include "resources/pipl_description.h"

namespace {
// The name the host records for the AEGP registration.
constexpr const char *kAegpPluginName = "Error!";
}  // namespace

PF_Err globalSetup(PF_InData *in_data, PF_OutData *out_data) {
    SuiteHandler suites(in_data->pica_basicP);
    // The same values as the property list: the host checks they agree.
    out_data->my_version = pipl::kEffectVersion;
    out_data->out_flags |= pipl::kOutFlags;
    out_data->out_flags2 |= pipl::kOutFlags2;

    const PF_HandleSuite1 *handles = suite<SuiteId::Handle>(suites);
    PF_Handle handle = handles->host_new_handle(sizeof(GlobalData));
    if (!handle) return PF_Err_INTERNAL_STRUCT_DAMAGED;
    // A block that is not installed (no lock, failed registration, missing
    // suite) is disposed of rather than lost.
    HostHandleOwner owner(handleFunctions(handles), handle);
    GlobalData *global = static_cast<GlobalData *>(owner.lock());
    if (!global) return PF_Err_NONE;
    global->stateValid = 1;
    const PF_Err err =
        suite<SuiteId::Utility>(suites)->AEGP_RegisterWithAEGP(nullptr, kAegpPluginName, &global->pluginId);
    if (err == PF_Err_NONE) {
        out_data->global_data = handle;
        owner.owned = false;
    }
    return err;
}

PF_Err globalSetdown(PF_InData *in_data) {
    SuiteHandler suites(in_data->pica_basicP);
    const PF_HandleSuite1 *handles = suite<SuiteId::Handle>(suites);
    if (in_data->global_data) handles->host_dispose_handle(in_data->global_data);
    return PF_Err_NONE;
}
