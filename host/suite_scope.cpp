// SuiteScope: one suite acquired or released with a message for the user when
// the host cannot serve it. Used by the render for the suites it holds for the
// whole frame.
#include "host/suite_scope.h"

#include "host/return_message.h"

namespace {

constexpr const char *kDefaultAcquireMessage = "Not able to acquire AEFX Suite.";
constexpr const char *kDefaultReleaseMessage = "Not able to release AEFX Suite.";

PF_Err reportSuiteFailure(const PF_InData *in_data, PF_OutData *out_data, const char *message) {
    out_data->out_flags |= PF_OutFlag_DISPLAY_ERROR_MESSAGE;
    if (in_data && in_data->utils) writeReturnMessage(in_data->utils->ansi.sprintf, out_data, message);
    return PF_Err_BAD_CALLBACK_PARAM;
}

}  // namespace

PF_Err suiteScopeAcquire(const PF_InData *in_data, PF_OutData *out_data, const char *name, A_long version,
                         const char *message, const void **suite) {
    // A stale pointer must not pass for a suite the host did not hand out.
    *suite = nullptr;
    if (in_data && in_data->pica_basicP) {
        in_data->pica_basicP->AcquireSuite(name, version, suite);
        if (*suite) return PF_Err_NONE;
    }
    return reportSuiteFailure(in_data, out_data, message ? message : kDefaultAcquireMessage);
}

PF_Err suiteScopeRelease(const PF_InData *in_data, PF_OutData *out_data, const char *name, A_long version,
                         const char *message) {
    if (in_data && in_data->pica_basicP) {
        in_data->pica_basicP->ReleaseSuite(name, version);
        return PF_Err_NONE;
    }
    return reportSuiteFailure(in_data, out_data, message ? message : kDefaultReleaseMessage);
}
