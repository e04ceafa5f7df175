// The about text. The x64 build shows the version as "1.00", the 32-bit
// build as "1.0" and reaches sprintf through the host's ANSI suite.
#include "host/about_text.h"

#include "host/build_profile.h"
#include "host/suite_handler.h"
#include "resources/pipl_description.h"

namespace {
constexpr const char *kMotto = "Imagination!";
constexpr int kMajorVersion = 1, kMinorVersion = 0, kBugVersion = 0;
}  // namespace

PF_Err aboutText(PF_InData *in_data, PF_OutData *out_data) {
    if constexpr (kProfileX86) {
        SuiteHandler suites(in_data->pica_basicP);
        suite<SuiteId::Ansi>(suites)->sprintf(out_data->return_msg, "%s, v%d.%d\r%s", pipl::kName, kMajorVersion,
                                              kMinorVersion, kMotto);
    } else {
        in_data->utils->ansi.sprintf(out_data->return_msg, "%s, v%d.%d%d\r%s", pipl::kName, kMajorVersion,
                                     kMinorVersion, kBugVersion, kMotto);
    }
    return PF_Err_NONE;
}
