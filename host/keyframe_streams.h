// Reading the keyframe tables through the host's AEGP effect, stream and
// keyframe suites, once per render.
#pragma once

#include "engine/keyframe_tables.h"
#include "host/host_owners.h"
#include "host/suite_handler.h"

struct KeyframeReading {
    HostCommand &command;
    SuiteHandler &suites;
    AEGP_PluginID pluginId;  // what the host returned at registration
    A_long count;            // c: instances, or line nodes
    KeyframeConversion conversion;
};

// The plug-in id kept in the global data. Without global data, or when it
// cannot be locked, the plug-in has no id to read keyframes with: false.
bool globalPluginId(const PF_InData *in_data, SuiteHandler &suites, AEGP_PluginID &id);

// Reads the table of `attribute` into the instance array when its mode asks
// for keyframes, and sets its length. Host calls are chained on the command;
// the effect, the stream and every value are disposed of whatever happens,
// each value right after it is stored. A missing suite throws 516.
void readKeyframeTable(KeyframeReading &reading, KeyframedAttribute attribute, const PatternParams &params,
                       PatternInstance *instances, KeyframeTables &tables);
