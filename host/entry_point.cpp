// The library's one export: the host calls it with every command.
#include "host/command_dispatch.h"

#if defined(_WIN32)
#define PATHBLOOM_EXPORT __declspec(dllexport)
#else
#define PATHBLOOM_EXPORT __attribute__((visibility("default")))
#endif

extern "C" PATHBLOOM_EXPORT PF_Err EntryPointFunc(PF_Cmd cmd, PF_InData *in_data, PF_OutData *out_data,
                                                  PF_ParamDef *params[], PF_LayerDef *output, void *extra) {
    try {
        return dispatchCommand(cmd, in_data, out_data, params, output, extra);
    } catch (PF_Err err) {
        // A missing suite; the handlers' suite owners have already let go.
        return err;
    }
}
