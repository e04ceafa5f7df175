// The scripted host of the host-binding unit tests.
#include "tests/host/fake_host.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

FakeHost *current = nullptr;

FakeHost &fake() { return *current; }

PF_Handle fakeNewHandle(A_u_longlong size) {
    fake().calls.push_back("host_new_handle " + std::to_string(size));
    if (fake().failNewHandle) return nullptr;
    PF_Handle handle = static_cast<PF_Handle>(std::malloc(sizeof(void *)));
    *handle = std::calloc(1, size ? size : 1);
    fake().liveHandles.insert(handle);
    return handle;
}
void *fakeLockHandle(PF_Handle handle) {
    fake().calls.push_back("host_lock_handle");
    return fake().failLock ? nullptr : *handle;
}
void fakeUnlockHandle(PF_Handle) { fake().calls.push_back("host_unlock_handle"); }
void fakeDisposeHandle(PF_Handle handle) {
    fake().calls.push_back("host_dispose_handle");
    if (fake().liveHandles.erase(handle) == 0) {
        fake().calls.push_back("dispose of unknown handle");
        return;
    }
    std::free(*handle);
    std::free(handle);
}
A_u_longlong fakeHandleSize(PF_Handle) { return 0; }
PF_Err fakeResizeHandle(A_u_longlong, PF_Handle *) { return PF_Err_NONE; }

// The utility callbacks' sprintf and the ANSI suite's, told apart in the log
// by `call`.
constexpr char sprintfCall[] = "sprintf", suiteSprintfCall[] = "suite sprintf";
template <const char *call>
int fakeSprintf(A_char *buffer, const A_char *format, ...) {
    fake().calls.push_back(call);
    va_list args;
    va_start(args, format);
    const int written = std::vsprintf(buffer, format, args);
    va_end(args);
    return written;
}
A_char *fakeStrcpy(A_char *dst, const A_char *src) {
    fake().calls.push_back("strcpy");
    return std::strcpy(dst, src);
}
A_FpLong fakeFmod(A_FpLong x, A_FpLong y) {
    fake().calls.push_back("fmod");
    return std::fmod(x, y);
}

PF_Err fakeRegister(AEGP_GlobalRefcon, const A_char *name, AEGP_PluginID *id) {
    fake().calls.push_back(std::string("AEGP_RegisterWithAEGP ") + name);
    if (fake().registerError == PF_Err_NONE) *id = fake().pluginId;
    return fake().registerError;
}

const PF_HandleSuite1 kHandleSuite = {fakeNewHandle,     fakeLockHandle, fakeUnlockHandle,
                                      fakeDisposeHandle, fakeHandleSize, fakeResizeHandle};
PF_ANSICallbacksSuite1 makeAnsiSuite() {
    PF_ANSICallbacksSuite1 suite{};
    suite.sprintf = fakeSprintf<suiteSprintfCall>;
    suite.strcpy = fakeStrcpy;
    suite.fmod = fakeFmod;
    return suite;
}
const PF_ANSICallbacksSuite1 kAnsiSuite = makeAnsiSuite();
AEGP_UtilitySuite7 makeUtilitySuite() {
    AEGP_UtilitySuite7 suite{};
    suite.AEGP_RegisterWithAEGP = fakeRegister;
    return suite;
}
const AEGP_UtilitySuite7 kUtilitySuite = makeUtilitySuite();
// Suites whose functions these tests never call.
const char kOpaqueSuite[256] = {};

SPErr fakeAcquireSuite(const char *name, A_long version, const void **suite) {
    const std::string key = std::string(name) + " " + std::to_string(version);
    fake().calls.push_back("AcquireSuite " + key);
    if (fake().missingSuites.count(name)) return kSPSuiteNotFoundError;  // *suite left as it was
    if (std::strcmp(name, kPFHandleSuite) == 0)
        *suite = &kHandleSuite;
    else if (std::strcmp(name, kPFANSISuite) == 0)
        *suite = &kAnsiSuite;
    else if (std::strcmp(name, kAEGPUtilitySuite) == 0)
        *suite = &kUtilitySuite;
    else
        *suite = kOpaqueSuite;
    ++fake().heldSuites[key];
    return kSPNoError;
}
SPErr fakeReleaseSuite(const char *name, A_long version) {
    const std::string key = std::string(name) + " " + std::to_string(version);
    fake().calls.push_back("ReleaseSuite " + key);
    --fake().heldSuites[key];
    return kSPNoError;
}

PF_Err fakeAddParam(PF_ProgPtr ref, PF_ParamIndex index, PF_ParamDefPtr def) {
    fake().calls.push_back(std::string("add_param ") + std::to_string(index) +
                           (ref == fake().in.effect_ref ? "" : " foreign ref"));
    if (fake().failAddParamAt == static_cast<int>(fake().added.size()) + 1) {
        fake().failAddParamAt = -1;  // later calls would succeed again
        return fake().addParamError;
    }
    fake().added.push_back(*def);
    return PF_Err_NONE;
}
PF_Err fakeCheckoutParam(PF_ProgPtr, PF_ParamIndex index, A_long time, A_long step, A_u_long scale,
                         PF_ParamDef *param) {
    fake().calls.push_back("checkout_param " + std::to_string(index) + " at " + std::to_string(time) + "/" +
                           std::to_string(step) + "/" + std::to_string(scale));
    if (fake().failCheckoutAt == static_cast<int>(fake().checkedOut.size()) + 1) return fake().checkoutError;
    fake().checkedOut.push_back(index);
    *param = fake().values.at(index);
    return PF_Err_NONE;
}
PF_Err fakeCheckinParam(PF_ProgPtr, PF_ParamDef *) {
    fake().calls.push_back("checkin_param");
    ++fake().checkedIn;
    return PF_Err_NONE;
}
PF_Err fakeCheckoutLayer(PF_ProgPtr, PF_ParamIndex index, A_long id, const PF_RenderRequest *req, A_long time,
                         A_long step, A_u_long scale, PF_CheckoutResult *result) {
    fake().calls.push_back("checkout_layer " + std::to_string(index) + " " + std::to_string(id) + " at " +
                           std::to_string(time) + "/" + std::to_string(step) + "/" + std::to_string(scale));
    ++fake().layerCheckouts;
    fake().layerRequest = *req;
    if (fake().layerError != PF_Err_NONE) return fake().layerError;
    *result = fake().layerResult;
    return PF_Err_NONE;
}

}  // namespace

FakeHost::FakeHost() {
    current = this;
    basic.AcquireSuite = fakeAcquireSuite;
    basic.ReleaseSuite = fakeReleaseSuite;
    utils.host_new_handle = fakeNewHandle;
    utils.host_lock_handle = fakeLockHandle;
    utils.host_unlock_handle = fakeUnlockHandle;
    utils.host_dispose_handle = fakeDisposeHandle;
    utils.ansi.sprintf = fakeSprintf<sprintfCall>;
    utils.ansi.strcpy = fakeStrcpy;
    utils.ansi.fmod = fakeFmod;
    in.utils = &utils;
    in.pica_basicP = &basic;
    in.inter.add_param = fakeAddParam;
    in.inter.checkout_param = fakeCheckoutParam;
    in.inter.checkin_param = fakeCheckinParam;
    in.effect_ref = reinterpret_cast<PF_ProgPtr>(this);
    in.downsample_x = {1, 1};
    in.downsample_y = {1, 1};
    values.resize(64);
    std::memset(values.data(), 0, values.size() * sizeof(PF_ParamDef));
    preCallbacks.checkout_layer = fakeCheckoutLayer;
    preExtra.input = &preInput;
    preExtra.output = &preOutput;
    preExtra.cb = &preCallbacks;
}

FakeHost::~FakeHost() {
    for (PF_Handle handle : liveHandles) {
        std::free(*handle);
        std::free(handle);
    }
    current = nullptr;
}

int FakeHost::count(const std::string &prefix) const {
    int n = 0;
    for (const std::string &call : calls)
        if (call.compare(0, prefix.size(), prefix) == 0) ++n;
    return n;
}

int FakeHost::suitesHeld() const {
    int n = 0;
    for (const auto &held : heldSuites) n += held.second;
    return n;
}

FakeHost &currentFake() { return fake(); }
