// Shared plumbing of minihost's suite and callback implementations. Not part
// of the public interface.
#pragma once

#include <string>

#include "minihost/minihost.h"

namespace minihost {

// The effect reference handed to the plug-in is the Host itself. Inline:
// the samplers take it once per pixel.
inline Host &hostFromRef(PF_ProgPtr effectRef) { return *reinterpret_cast<Host *>(effectRef); }
inline PF_ProgPtr refFromHost(Host &host) { return reinterpret_cast<PF_ProgPtr>(&host); }

// The host of the command in progress, for callbacks that carry no effect
// reference (handles, math and string functions).
Host &currentHost();

// Every host function calls this first: it records the call in the call log
// and returns the error that fault injection asks this call to fail with
// (PF_Err_NONE: go on).
PF_Err enterCall(Host &host, const char *function);
PF_Err enterCall(Host &host, const char *function, const std::string &detail);

// A call the host must refuse: counted in the ledger, answered with `err`.
inline PF_Err refused(Host &host, PF_Err err = PF_Err_BAD_CALLBACK_PARAM) {
    ++host.ledger.invalidCalls;
    return err;
}

// Makes `host` the current host for the life of the scope; sendCommand does
// this itself, tests that call suite functions directly use it.
struct CurrentHostScope {
    explicit CurrentHostScope(Host &host);
    ~CurrentHostScope();
    CurrentHostScope(const CurrentHostScope &) = delete;
    CurrentHostScope &operator=(const CurrentHostScope &) = delete;
    Host *previous;
};

// The depth of a world the host handed out or created; false for a world the
// host does not know.
bool worldDepth(const Host &host, const PF_EffectWorld &world, Depth &depth);

// The utility callback transfer_rect (transfer.cpp): blends a rectangle of
// `src` onto `dst` at (destX, destY) with the record's transfer mode and
// opacity, clipped to `dst`.
PF_Err transferRect(PF_ProgPtr effectRef, PF_Quality quality, PF_ModeFlags modeFlags, PF_Field field,
                    const PF_Rect *srcRect, const PF_EffectWorld *src, const PF_CompositeMode *mode,
                    const PF_MaskWorld *mask, A_long destX, A_long destY, PF_EffectWorld *dst);

// Path ids of the layer's masks: mask n (1-based) is pathIdBase + n, so that
// ids never equal mask numbers; 0 means no mask.
constexpr PF_PathID pathIdBase = 1000;
PF_PathID pathIdOfMask(const Host &host, int maskNumber);  // 0 when there is no such mask

// The mask a path id names, its shape at a time in seconds (without keys),
// at the resolution of the command in progress: vertices and tangents
// divided by the horizontal and vertical downsampling. False when the id
// names no mask.
bool maskForPathId(const Host &host, PF_PathID id, double seconds, Mask &mask);

// Seconds of a time the plug-in passes, in ticks of `time_scale` (the
// host's own scale when 0).
double secondsOf(const Host &host, A_long what_time, A_u_long time_scale);

// Suite tables, one per name and version.
const void *handleSuite();         // "PF Handle Suite" 1 and 2
const void *ansiSuite();           // "PF ANSI Suite" 1
const void *worldSuite1();         // "PF World Suite" 1
const void *worldSuite2();         // "PF World Suite" 2
const void *pathQuerySuite();      // "PF Path Query Suite" 1
const void *pathDataSuite();       // "PF Path Data Suite" 1
const void *colorFloatSuite();     // "PF ColorFloat Suite" 1
const void *fillMatteSuite();      // "PF Fill Matte Suite" 2
const void *sampling8Suite();      // "PF Sampling8 Suite" 1
const void *sampling16Suite();     // "PF Sampling16 Suite" 1
const void *samplingFloatSuite();  // "PF SamplingFloat Suite" 1
const void *paramUtilsSuite();     // "PF Param Utils Suite" 1 and 2
const void *utilitySuite();        // "AEGP Utility Suite" 7
const void *maskSuite();           // "AEGP Mask Suite" 1
const void *pfInterfaceSuite();    // "AEGP PF Interface Suite" 1
const void *effectSuite();         // "AEGP Effect Suite" 3
const void *streamSuite();         // "AEGP Stream Suite" 7 and 9
const void *keyframeSuite();       // "AEGP Keyframe Suite" 3 and 4

}  // namespace minihost
