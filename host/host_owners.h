// Scope owners of the host's resources. Each one gives back what it holds
// when the command's scope ends, also when a missing suite throws; a release
// the host can refuse is chained on the command's pending error, so it
// counts only when nothing failed before it.
#pragma once

#include <cstdint>

#include "engine/host_call_chain.h"
#include "host/param_table.h"
#include "hostapi/hostapi.h"
#include "raster/pixel_format.h"

// One command's records and its chain of host calls: the first failing call
// becomes the pending error and later calls are skipped.
struct HostCommand {
    const PF_InData *in_data;
    PF_OutData *out_data;
    PF_Err pending = PF_Err_NONE;
};

// The handle functions, from "PF Handle Suite" or from the utility callbacks:
// the same four calls.
struct HandleFunctions {
    PF_Handle (*newHandle)(A_u_longlong size);
    void *(*lock)(PF_Handle handle);
    void (*unlock)(PF_Handle handle);
    void (*dispose)(PF_Handle handle);
};

template <class Table>
HandleFunctions handleFunctions(const Table *table) {
    return HandleFunctions{table->host_new_handle, table->host_lock_handle, table->host_unlock_handle,
                           table->host_dispose_handle};
}

// A host memory handle: unlocked when the scope ends, and disposed of unless
// it was handed to the host (owned false).
struct HostHandleOwner {
    explicit HostHandleOwner(const HandleFunctions &handleFunctions, PF_Handle held = nullptr)
        : functions(handleFunctions), handle(held) {}
    ~HostHandleOwner() {
        if (!handle) return;
        if (data) functions.unlock(handle);
        if (owned) functions.dispose(handle);
    }
    HostHandleOwner(const HostHandleOwner &) = delete;
    HostHandleOwner &operator=(const HostHandleOwner &) = delete;

    // The block, or null when the host cannot lock it.
    void *lock() {
        data = functions.lock(handle);
        return data;
    }

    HandleFunctions functions;
    PF_Handle handle;
    void *data = nullptr;  // while locked
    bool owned = true;
};

// Hands the handle to the host as it stands, lock included: the end of the
// scope then leaves it alone.
inline PF_Handle handOverLocked(HostHandleOwner &owner) {
    owner.owned = false;
    owner.data = nullptr;
    return owner.handle;
}

// Allocates a per-frame table of `bytes` into `owner`, locked and zeroed; null
// when the host has no memory for it or cannot lock it.
void *allocateTable(HostHandleOwner &owner, int64_t bytes);

// A suite held for the whole command through SuiteScope: acquisition and
// release write a message for the user when the host cannot serve them.
struct ScopedSuite {
    ScopedSuite(HostCommand &owner, const char *suiteName, A_long suiteVersion)
        : command(owner), name(suiteName), version(suiteVersion) {}
    ~ScopedSuite();
    ScopedSuite(const ScopedSuite &) = delete;
    ScopedSuite &operator=(const ScopedSuite &) = delete;

    HostCommand &command;
    const char *name;
    A_long version;
    const void *suite = nullptr;
};

// Acquires the suite, chained on the command: "Couldn't load suite." when the
// host refuses it. The release at the end of the scope writes "Couldn't
// release suite." when it fails.
void acquireScoped(ScopedSuite &scoped);
template <class Table>
const Table *acquire(ScopedSuite &scoped) {
    acquireScoped(scoped);
    return static_cast<const Table *>(scoped.suite);
}

// A mask outline checked out of "PF Path Query Suite"; checked in (changed
// flag false) when the scope ends unless checkIn ran before.
struct PathCheckout;
void checkIn(PathCheckout &checkout);

struct PathCheckout {
    explicit PathCheckout(HostCommand &owner) : command(owner) {}
    ~PathCheckout() { checkIn(*this); }
    PathCheckout(const PathCheckout &) = delete;
    PathCheckout &operator=(const PathCheckout &) = delete;

    HostCommand &command;
    const PF_PathQuerySuite1 *query = nullptr;
    PF_PathID id = 0;
    PF_PathOutlinePtr outline = nullptr;
};

// Checks out mask `id` at the command's time, chained; the outline stays null
// when the host gives none.
void checkOut(PathCheckout &checkout, const PF_PathQuerySuite1 *query, PF_PathID id);

// Parameter definitions checked out with PF_CHECKOUT_PARAM at the command's
// time, checked back in, in the order they came, when the scope ends.
struct ParamCheckouts {
    explicit ParamCheckouts(HostCommand &owner) : command(owner) {}
    ~ParamCheckouts();
    ParamCheckouts(const ParamCheckouts &) = delete;
    ParamCheckouts &operator=(const ParamCheckouts &) = delete;

    HostCommand &command;
    PF_ParamDef values[ParamIndex::Count] = {};  // by parameter index
    int indices[ParamIndex::Count] = {};         // checked out, in order
    int count = 0;
};

// Checks out parameter `index` into values[index], chained.
void checkOutParam(ParamCheckouts &checkouts, int index);

struct WorldOwner;
void disposeWorld(WorldOwner &owner);

// A scratch world the render makes at the output's depth: 8 and 16 bits
// through "PF World Suite" 1, float through "PF World Suite" 2; disposed of
// through the version that made it when the scope ends, unless done before.
struct WorldOwner {
    explicit WorldOwner(HostCommand &owner) : command(owner) {}
    ~WorldOwner() { disposeWorld(*this); }
    WorldOwner(const WorldOwner &) = delete;
    WorldOwner &operator=(const WorldOwner &) = delete;

    HostCommand &command;
    const PF_WorldSuite1 *suite1 = nullptr;  // the version that made the world
    const PF_WorldSuite2 *suite2 = nullptr;
    PF_EffectWorld world{};
    bool made = false;
};

// Makes a width x height world, chained; `clear` asks for transparent pixels.
// `suite1` serves the integer depths, `suite2` float.
void makeWorld(WorldOwner &owner, PixelDepth depth, A_long width, A_long height, bool clear,
               const PF_WorldSuite1 *suite1, const PF_WorldSuite2 *suite2);

// An object the host made for the plug-in (an AEGP effect, stream or stream
// value), disposed of through `dispose` as a release when the scope ends or
// release() runs, also after an error.
template <class Ref>
struct HostObjectOwner {
    HostObjectOwner(HostCommand &owner, PF_Err (*disposeFunction)(Ref)) : command(owner), dispose(disposeFunction) {}
    ~HostObjectOwner() { release(); }
    HostObjectOwner(const HostObjectOwner &) = delete;
    HostObjectOwner &operator=(const HostObjectOwner &) = delete;

    void release() {
        if (!ref) return;
        chainRelease(command.pending, [&] { return dispose(ref); });
        ref = Ref{};
    }

    HostCommand &command;
    PF_Err (*dispose)(Ref);
    Ref ref{};  // held while not null
};

// Runs `make(&ref)`, chained; the owner holds what a successful call made.
template <class Ref, class Make>
void obtain(HostObjectOwner<Ref> &owner, Make &&make) {
    Ref made{};
    PF_Err &pending = owner.command.pending;
    chainHostCall(pending, [&] { return make(&made); });
    if (pending == PF_Err_NONE) owner.ref = made;
}
