// A stand-in plug-in for minihost's own tests: the host calls a test's lambda
// as its entry point, so every callback is reached the way a plug-in reaches it.
#pragma once

#include <functional>

#include "minihost/minihost.h"

namespace minihost {

using CommandScript = std::function<PF_Err(PF_Cmd cmd, PF_InData &in, PF_OutData &out, void *extra)>;

inline CommandScript &activeScript() {
    static CommandScript script;
    return script;
}

// The `params` array of the command in progress, for scripts that read it.
inline PF_ParamDef **&commandParams() {
    static PF_ParamDef **params = nullptr;
    return params;
}

inline PF_Err scriptedEntry(PF_Cmd cmd, PF_InData *in, PF_OutData *out, PF_ParamDef **params, PF_LayerDef *,
                            void *extra) {
    commandParams() = params;
    const PF_Err err = activeScript() ? activeScript()(cmd, *in, *out, extra) : PF_Err_NONE;
    commandParams() = nullptr;
    return err;
}

// Makes `script` the plug-in of `host`.
inline void useScript(Host &host, CommandScript script) {
    activeScript() = std::move(script);
    host.entry = scriptedEntry;
}

// Runs `body` inside one command of `host`, as the plug-in would.
inline PF_Err runInCommand(Host &host, const std::function<PF_Err(PF_InData &, PF_OutData &)> &body) {
    useScript(host, [&body](PF_Cmd, PF_InData &in, PF_OutData &out, void *) { return body(in, out); });
    const PF_Err err = sendCommand(host, PF_Cmd_COMPLETELY_GENERAL);
    activeScript() = nullptr;
    return err;
}

// The same for a body that needs only PF_InData and always succeeds.
inline PF_Err runInCommand(Host &host, const std::function<void(PF_InData &)> &body) {
    return runInCommand(host, [&body](PF_InData &in, PF_OutData &) {
        body(in);
        return PF_Err(PF_Err_NONE);
    });
}

}  // namespace minihost
