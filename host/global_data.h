// The plug-in's global data: one block per loaded plug-in, made at global
// setup and handed back by the host in PF_InData::global_data.
#pragma once

#include "hostapi/hostapi.h"

struct GlobalData {
    // 1 once made; the parameter UI update sets it again after each
    // successful update and renews its stored state when it finds 0.
    A_u_char stateValid;
    // What the host returned at AEGP registration; the AEGP calls that take
    // a plug-in identifier pass it.
    AEGP_PluginID pluginId;
};
