// A host handle that the plug-in holds until it is handed to the host: unlocked
// and, unless handed over, disposed of on every way out of the command.
#pragma once

#include "hostapi/hostapi.h"

struct HostHandleOwner {
    HostHandleOwner(const PF_HandleSuite1 *handleSuite, PF_Handle owned) : handles(handleSuite), handle(owned) {}
    ~HostHandleOwner() {
        if (locked) handles->host_unlock_handle(handle);
        if (!handedOver) handles->host_dispose_handle(handle);
    }
    HostHandleOwner(const HostHandleOwner &) = delete;
    HostHandleOwner &operator=(const HostHandleOwner &) = delete;

    // The block, or null when the host cannot lock it.
    void *lock() {
        void *memory = handles->host_lock_handle(handle);
        locked = memory != nullptr;
        return memory;
    }

    const PF_HandleSuite1 *handles;
    PF_Handle handle;
    bool locked = false;
    bool handedOver = false;
};
