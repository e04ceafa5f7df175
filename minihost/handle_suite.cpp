// Host memory handles: the utility callbacks and "PF Handle Suite" 1 and 2.
// A handle is the address of a master pointer to zeroed memory, with a lock count.
#include <cstring>
#include <new>
#include <string>

#include "minihost/host_state.h"

namespace minihost {
namespace {

HandleBlock *findBlock(Host &host, PF_Handle handle) {
    const auto found = host.internals->handles.find(handle);
    return found == host.internals->handles.end() ? nullptr : found->second.get();
}

PF_Err hostResizeHandle(A_u_longlong newSize, PF_Handle *handleP) {
    Host &host = currentHost();
    if (const PF_Err err = enterCall(host, "host_resize_handle", std::to_string(newSize))) return err;
    HandleBlock *block = handleP ? findBlock(host, *handleP) : nullptr;
    if (!block) return refused(host);
    std::unique_ptr<unsigned char[]> memory(new (std::nothrow) unsigned char[newSize ? newSize : 1]());
    if (!memory) return PF_Err_OUT_OF_MEMORY;
    std::memcpy(memory.get(), block->memory.get(), newSize < block->size ? newSize : block->size);
    block->memory = std::move(memory);
    block->master = block->memory.get();
    block->size = static_cast<std::size_t>(newSize);
    return PF_Err_NONE;
}

}  // namespace

PF_Handle hostNewHandle(A_u_longlong size) {
    Host &host = currentHost();
    if (enterCall(host, "host_new_handle", std::to_string(size))) return nullptr;
    const long allocation = ++host.internals->handleAllocations;
    if (host.faults.failHandleAllocation == allocation) return nullptr;
    auto block = std::make_unique<HandleBlock>();
    block->memory.reset(new (std::nothrow) unsigned char[size ? size : 1]());
    if (!block->memory) return nullptr;
    block->size = static_cast<std::size_t>(size);
    block->master = block->memory.get();
    PF_Handle handle = &block->master;
    host.internals->handles.emplace(handle, std::move(block));
    ++host.ledger.handles;
    return handle;
}

void *hostLockHandle(PF_Handle handle) {
    Host &host = currentHost();
    if (enterCall(host, "host_lock_handle")) return nullptr;
    HandleBlock *block = findBlock(host, handle);
    if (!block) {
        ++host.ledger.invalidCalls;
        return nullptr;
    }
    ++block->locks;
    ++host.ledger.lockedHandles;
    return block->master;
}

void hostUnlockHandle(PF_Handle handle) {
    Host &host = currentHost();
    enterCall(host, "host_unlock_handle");
    HandleBlock *block = findBlock(host, handle);
    if (!block || block->locks == 0) {
        ++host.ledger.invalidCalls;
        return;
    }
    --block->locks;
    --host.ledger.lockedHandles;
}

void hostDisposeHandle(PF_Handle handle) {
    Host &host = currentHost();
    enterCall(host, "host_dispose_handle");
    const auto found = host.internals->handles.find(handle);
    if (found == host.internals->handles.end()) {
        ++host.ledger.invalidCalls;
        return;
    }
    host.ledger.lockedHandles -= found->second->locks;
    --host.ledger.handles;
    host.internals->handles.erase(found);
}

A_u_longlong hostGetHandleSize(PF_Handle handle) {
    Host &host = currentHost();
    enterCall(host, "host_get_handle_size");
    HandleBlock *block = findBlock(host, handle);
    if (!block) {
        ++host.ledger.invalidCalls;
        return 0;
    }
    return block->size;
}

bool handleIsLive(const Host &host, PF_Handle handle) { return host.internals->handles.count(handle) != 0; }

void releaseAllHandles(Host &host) { host.internals->handles.clear(); }

const void *handleSuite() {
    static const PF_HandleSuite1 suite = {hostNewHandle,     hostLockHandle,    hostUnlockHandle,
                                          hostDisposeHandle, hostGetHandleSize, hostResizeHandle};
    return &suite;
}

}  // namespace minihost
