// Host calls of one command in a chain: the first failing call becomes the
// pending error and every later call is skipped, so the failure path reads like
// the success path and the first error is what the command returns.
#pragma once

#include "hostapi/hostapi.h"

// Runs `call` (returning a PF_Err) only while no error is pending; keeps the
// first error.
template <class Call>
inline void chainHostCall(PF_Err &pending, Call &&call) {
    if (pending == PF_Err_NONE) pending = call();
}

// Releases always run; their failure counts only when nothing failed before.
template <class Call>
inline void chainRelease(PF_Err &pending, Call &&call) {
    const PF_Err err = call();
    if (pending == PF_Err_NONE) pending = err;
}
