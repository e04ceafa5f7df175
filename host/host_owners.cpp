// Scope owners: tables, frame-long suites and the mask checkout.
#include "host/host_owners.h"

#include <cstring>

#include "host/suite_scope.h"

namespace {

constexpr const char *kLoadMessage = "Couldn't load suite.";
constexpr const char *kReleaseMessage = "Couldn't release suite.";

}  // namespace

void *allocateTable(HostHandleOwner &owner, int64_t bytes) {
    owner.handle = owner.functions.newHandle(static_cast<A_u_longlong>(bytes));
    if (!owner.handle) return nullptr;
    void *data = owner.lock();
    if (data) std::memset(data, 0, static_cast<size_t>(bytes));
    return data;
}

void acquireScoped(ScopedSuite &scoped) {
    HostCommand &command = scoped.command;
    chainHostCall(command.pending, [&] {
        return suiteScopeAcquire(command.in_data, command.out_data, scoped.name, scoped.version, kLoadMessage,
                                 &scoped.suite);
    });
}

ScopedSuite::~ScopedSuite() {
    if (!suite) return;
    chainRelease(command.pending,
                 [&] { return suiteScopeRelease(command.in_data, command.out_data, name, version, kReleaseMessage); });
}

void checkOut(PathCheckout &checkout, const PF_PathQuerySuite1 *query, PF_PathID id) {
    const PF_InData *in_data = checkout.command.in_data;
    PF_PathOutlinePtr outline = nullptr;
    chainHostCall(checkout.command.pending, [&] {
        return query->PF_CheckoutPath(in_data->effect_ref, id, in_data->current_time, in_data->time_step,
                                      in_data->time_scale, &outline);
    });
    checkout.query = query;
    checkout.id = id;
    checkout.outline = outline;
}

void checkIn(PathCheckout &checkout) {
    if (!checkout.outline) return;
    chainRelease(checkout.command.pending, [&] {
        return checkout.query->PF_CheckinPath(checkout.command.in_data->effect_ref, checkout.id, false,
                                              checkout.outline);
    });
    checkout.outline = nullptr;
}

void checkOutParam(ParamCheckouts &checkouts, int index) {
    const PF_InData *in_data = checkouts.command.in_data;
    chainHostCall(checkouts.command.pending, [&] {
        const PF_Err err = PF_CHECKOUT_PARAM(in_data, index, in_data->current_time, in_data->time_step,
                                             in_data->time_scale, &checkouts.values[index]);
        if (err == PF_Err_NONE) checkouts.indices[checkouts.count++] = index;
        return err;
    });
}

ParamCheckouts::~ParamCheckouts() {
    for (int i = 0; i < count; ++i) {
        chainRelease(command.pending, [&] { return PF_CHECKIN_PARAM(command.in_data, &values[indices[i]]); });
    }
}

void makeWorld(WorldOwner &owner, PixelDepth depth, A_long width, A_long height, bool clear,
               const PF_WorldSuite1 *suite1, const PF_WorldSuite2 *suite2) {
    PF_ProgPtr ref = owner.command.in_data->effect_ref;
    chainHostCall(owner.command.pending, [&] {
        PF_Err err;
        if (depth == DepthFloat) {
            err = suite2->PF_NewWorld(ref, width, height, clear, PF_PixelFormat_ARGB128, &owner.world);
            owner.suite2 = suite2;
        } else {
            A_long flags = clear ? PF_NewWorldFlag_CLEAR_PIXELS : PF_NewWorldFlag_NONE;
            if (depth == Depth16) flags |= PF_NewWorldFlag_DEEP_PIXELS;
            err = suite1->new_world(ref, width, height, flags, &owner.world);
            owner.suite1 = suite1;
        }
        owner.made = err == PF_Err_NONE;
        return err;
    });
}

void disposeWorld(WorldOwner &owner) {
    if (!owner.made) return;
    PF_ProgPtr ref = owner.command.in_data->effect_ref;
    chainRelease(owner.command.pending, [&] {
        return owner.suite2 ? owner.suite2->PF_DisposeWorld(ref, &owner.world)
                            : owner.suite1->dispose_world(ref, &owner.world);
    });
    owner.made = false;
}
