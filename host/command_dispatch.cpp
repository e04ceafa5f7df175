// Command routing for both builds. Unlisted selectors (render, frame setup
// and setdown, flatten, dialog, ...) succeed without doing anything.
#include "host/command_dispatch.h"

#include "host/about_text.h"
#include "host/build_profile.h"
#include "host/completely_general.h"
#include "host/global_setup.h"
#include "host/param_ui_state.h"
#include "host/params_setup.h"
#include "host/sequence_setup.h"
#include "host/smart_pre_render.h"
#include "host/smart_render.h"

PF_Err dispatchCommand(PF_Cmd cmd, PF_InData *in_data, PF_OutData *out_data, PF_ParamDef *params[], PF_LayerDef *output,
                       void *extra) {
    (void)output;  // every frame goes through the smart commands
    switch (cmd) {
    case PF_Cmd_ABOUT:
        return aboutText(in_data, out_data);
    case PF_Cmd_GLOBAL_SETUP:
        return globalSetup(in_data, out_data);
    case PF_Cmd_GLOBAL_SETDOWN:
        // The 32-bit build leaves the global data to the host.
        return kProfileX86 ? PF_Err_NONE : globalSetdown(in_data);
    case PF_Cmd_PARAMS_SETUP:
        return paramsSetup(in_data, out_data);
    case PF_Cmd_SEQUENCE_SETUP:
    case PF_Cmd_SEQUENCE_RESETUP:
        return sequenceSetup(in_data, out_data);
    case PF_Cmd_SEQUENCE_SETDOWN:
        return sequenceSetdown(in_data);
    case PF_Cmd_USER_CHANGED_PARAM:
    case PF_Cmd_UPDATE_PARAMS_UI:
        return updateParamsUi(in_data, out_data, params);
    case PF_Cmd_COMPLETELY_GENERAL:
        return kProfileX86 ? completelyGeneral(in_data, out_data, extra) : PF_Err_NONE;
    case PF_Cmd_SMART_PRE_RENDER:
        return smartPreRender(in_data, static_cast<PF_PreRenderExtra *>(extra));
    case PF_Cmd_SMART_RENDER:
        return smartRender(in_data, out_data, static_cast<PF_SmartRenderExtra *>(extra));
    default:
        return PF_Err_NONE;
    }
}
