// The Host record, the current host of a command, call accounting with fault
// injection, and sending commands with fresh PF_InData and PF_OutData.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "minihost/host_state.h"

namespace minihost {
namespace {

thread_local Host *current = nullptr;

// Host time runs in thousandths of a frame's duration, so every frame starts
// on a whole tick: time_scale = fps * 1000 ticks per second, 1000 ticks per frame.
constexpr A_long ticksPerFrame = 1000;

// The host's time fields are 32 bits; times are worked out in 64 bits and
// pinned into the field's range.
A_long pinnedTime(int64_t ticks) {
    return static_cast<A_long>(
        std::clamp<int64_t>(ticks, std::numeric_limits<A_long>::min(), std::numeric_limits<A_long>::max()));
}

PF_ParamDef inputLayerDef() {
    PF_ParamDef def{};
    def.param_type = PF_Param_LAYER;
    def.u.ld.dephault = PF_LayerDefault_MYSELF;
    return def;
}

int scaledSize(int size, int factor) { return factor > 1 ? (size + factor - 1) / factor : size; }

PF_InData buildInData(Host &host) {
    Host::Internals &internals = *host.internals;
    PF_InData in{};
    in.inter = interactCallbacks();
    in.utils = &internals.utils;
    in.effect_ref = refFromHost(host);
    in.quality = PF_Quality_HI;
    in.version.major = 13;
    in.version.minor = 28;
    in.serial_num = 1;
    in.appl_id = static_cast<A_long>(PF_FOURCC('F', 'X', 'T', 'C'));
    in.num_params = static_cast<A_long>(host.paramDefs.size());
    in.current_time = currentTime(host);
    in.time_step = timeStep(host);
    in.local_time_step = timeStep(host);
    in.time_scale = timeScale(host);
    in.total_time = pinnedTime(int64_t{timeScale(host)} * 10);
    in.field = PF_Field_FRAME;
    in.width = scaledSize(host.input.width, host.downsampleX);
    in.height = scaledSize(host.input.height, host.downsampleY);
    in.extent_hint = {0, 0, in.width, in.height};
    in.downsample_x = {1, static_cast<A_u_long>(host.downsampleX > 0 ? host.downsampleX : 1)};
    in.downsample_y = {1, static_cast<A_u_long>(host.downsampleY > 0 ? host.downsampleY : 1)};
    in.pixel_aspect_ratio = {1, 1};
    in.global_data = host.globalData;
    in.sequence_data = host.sequenceData;
    in.pica_basicP = &internals.basicSuite;
    return in;
}

// The host keeps only handles that still exist.
PF_Handle liveOrNull(const Host &host, PF_Handle handle) {
    return handle && handleIsLive(host, handle) ? handle : nullptr;
}

// The host frees a handle the plug-in left to it.
void freeLeftHandle(Host &host, PF_Handle handle) {
    if (!handle || !handleIsLive(host, handle)) return;
    CurrentHostScope scope(host);
    hostDisposeHandle(handle);
}

// Sends a user-interface command with every parameter's definition at the
// current time.
PF_Err sendWithParams(Host &host, PF_Cmd cmd, void *extra) {
    const double seconds = static_cast<double>(currentTime(host)) / timeScale(host);
    std::vector<PF_ParamDef> defs;
    std::vector<PF_ParamDef *> params;
    for (std::size_t i = 0; i < host.paramDefs.size(); ++i)
        defs.push_back(paramDefAt(host, static_cast<int>(i), seconds));
    for (PF_ParamDef &def : defs) params.push_back(&def);
    return sendCommand(host, cmd, params.empty() ? nullptr : params.data(), nullptr, extra);
}

}  // namespace

Host::Host() : internals(std::make_unique<Internals>()) {
    internals->utils = utilCallbacks();
    internals->basicSuite = basicSuiteTable();
}

Host::~Host() {
    releaseFrame(*this);
    releaseParamCheckouts(*this);
    closePlugin(*this);
    releaseAllHandles(*this);
}

Host &currentHost() {
    if (!current) {
        std::fprintf(stderr, "minihost: a host callback was called outside any command\n");
        std::abort();
    }
    return *current;
}

CurrentHostScope::CurrentHostScope(Host &host) : previous(current) { current = &host; }

CurrentHostScope::~CurrentHostScope() { current = previous; }

long *callCounter(Host &host, const char *function) { return &host.internals->callCounts[std::string_view(function)]; }

PF_Err faultOrLog(Host &host, const char *function, const std::string *detail, long count) {
    PF_Err err = PF_Err_NONE;
    const auto fault = host.faults.failCall.find(function);
    if (fault != host.faults.failCall.end() && fault->second.first == count) err = fault->second.second;
    if (host.logCalls) host.calls.push_back({function, detail ? *detail : std::string(), err});
    return err;
}

PF_Err enterCall(Host &host, const char *function) { return countCall(host, function, nullptr); }

PF_Err enterCall(Host &host, const char *function, const std::string &detail) {
    return countCall(host, function, &detail);
}

long callCount(const Host &host, const std::string &function) {
    const auto found = host.internals->callCounts.find(std::string_view(function));
    return found == host.internals->callCounts.end() ? 0 : found->second;
}

A_u_long timeScale(const Host &host) {
    // 1..2^31-1 ticks per second: never 0, so that ticks / scale is a time,
    // and within what the signed fields that carry it hold.
    const double fps = host.fps > 0 ? host.fps : 30;
    const double ticks = std::clamp(std::round(fps * ticksPerFrame), 1.0, double(std::numeric_limits<A_long>::max()));
    return static_cast<A_u_long>(ticks);
}

A_long timeStep(const Host &) { return ticksPerFrame; }

double secondsOf(const Host &host, A_long what_time, A_u_long time_scale) {
    return static_cast<double>(what_time) / (time_scale ? time_scale : timeScale(host));
}

A_long currentTime(const Host &host) { return pinnedTime(int64_t{host.frame} * ticksPerFrame); }

PF_Err sendCommand(Host &host, PF_Cmd cmd, PF_ParamDef **params, PF_LayerDef *output, void *extra) {
    if (!host.entry) return PF_Err_INVALID_CALLBACK;
    CurrentHostScope scope(host);
    host.inData = buildInData(host);
    host.outData = PF_OutData{};
    host.outData.width = host.inData.width;
    host.outData.height = host.inData.height;
    // Setup commands hand new data to the host; every other command may
    // replace what it was given.
    host.outData.global_data = cmd == PF_Cmd_GLOBAL_SETUP ? nullptr : host.globalData;
    const bool sequenceSetup = cmd == PF_Cmd_SEQUENCE_SETUP || cmd == PF_Cmd_SEQUENCE_RESETUP;
    host.outData.sequence_data = sequenceSetup ? nullptr : host.sequenceData;

    const PF_Err err = host.entry(cmd, &host.inData, &host.outData, params, output, extra);

    switch (cmd) {
    case PF_Cmd_GLOBAL_SETDOWN:
        // A plug-in that does not dispose of its global data leaves it to the host.
        freeLeftHandle(host, host.globalData);
        host.globalData = nullptr;
        break;
    case PF_Cmd_SEQUENCE_SETDOWN:
        host.sequenceData = nullptr;
        break;
    default:
        host.globalData = liveOrNull(host, host.outData.global_data);
        host.sequenceData = liveOrNull(host, host.outData.sequence_data);
        break;
    }
    return err;
}

PF_Err runAbout(Host &host, std::string &text) {
    const PF_Err err = sendCommand(host, PF_Cmd_ABOUT);
    text.assign(host.outData.return_msg, strnlen(host.outData.return_msg, sizeof host.outData.return_msg));
    return err;
}

PF_Err setupEffect(Host &host) {
    host.paramDefs.assign(1, inputLayerDef());
    host.params.assign(1, ParamTrack{});
    host.params[0].value.number = PF_LayerDefault_MYSELF;
    PF_Err err = sendCommand(host, PF_Cmd_GLOBAL_SETUP);
    if (!err) err = sendCommand(host, PF_Cmd_PARAMS_SETUP);
    if (!err) err = sendCommand(host, PF_Cmd_SEQUENCE_SETUP);
    return err;
}

PF_Err teardownEffect(Host &host) {
    const PF_Err sequenceErr = sendCommand(host, PF_Cmd_SEQUENCE_SETDOWN);
    const PF_Err globalErr = sendCommand(host, PF_Cmd_GLOBAL_SETDOWN);
    return sequenceErr ? sequenceErr : globalErr;
}

PF_Err updateParamsUI(Host &host) { return sendWithParams(host, PF_Cmd_UPDATE_PARAMS_UI, nullptr); }

PF_Err userChangedParam(Host &host, int index) {
    if (index < 1 || static_cast<std::size_t>(index) >= host.paramDefs.size()) return PF_Err_INVALID_INDEX;
    PF_UserChangedParamExtra extra{index};
    return sendWithParams(host, PF_Cmd_USER_CHANGED_PARAM, &extra);
}

std::string shownMessage(const Host &host) {
    const PF_OutData &out = host.outData;
    if (!(out.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE)) return std::string();
    return std::string(out.return_msg, strnlen(out.return_msg, sizeof out.return_msg));
}

void resetLedger(Host &host) {
    host.ledger = Ledger{};
    host.calls.clear();
    host.internals->callCounts.clear();
    host.internals->counterSlots.fill({});
    host.internals->handleAllocations = 0;
    host.progressCurrent = host.progressTotal = host.progressCalls = 0;
}

std::string outstanding(const Ledger &l) {
    const std::pair<int, const char *> held[] = {
        {l.suites, "suite"},       {l.lockedHandles, "handle lock"},        {l.worlds, "world"},
        {l.checkouts, "checkout"}, {l.preRenderBlocks, "pre-render block"}, {l.effects, "effect"},
        {l.streams, "stream"},     {l.streamValues, "stream value"}};
    std::string text;
    for (const auto &[count, noun] : held)
        if (count != 0)
            text += (text.empty() ? "" : ", ") + std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
    if (!text.empty()) text += " outstanding";
    if (l.invalidCalls != 0)
        text += (text.empty() ? "" : "; ") + std::to_string(l.invalidCalls) + " invalid call" +
                (l.invalidCalls == 1 ? "" : "s");
    return text;
}

PF_Fixed fixedFromDouble(double value) {
    const double scaled = value >= 0 ? std::trunc(value * 65536 + 0.5) : std::trunc(value * 65536 - 0.5);
    if (std::isnan(scaled)) return 0;
    return static_cast<PF_Fixed>(
        std::clamp(scaled, double(std::numeric_limits<PF_Fixed>::min()), double(std::numeric_limits<PF_Fixed>::max())));
}

}  // namespace minihost
