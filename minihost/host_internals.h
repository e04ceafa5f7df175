// Shared plumbing of minihost's suite and callback implementations. Not part
// of the public interface.
#pragma once

#include <string>

#include "minihost/minihost.h"

namespace minihost {

// The effect reference handed to the plug-in is the Host itself.
Host &hostFromRef(PF_ProgPtr effectRef);
PF_ProgPtr refFromHost(Host &host);

// The host of the command in progress, for callbacks that carry no effect
// reference (handles, math and string functions).
Host &currentHost();

// Every host function calls this first: it records the call in the call log
// and returns the error that fault injection asks this call to fail with
// (PF_Err_NONE: go on).
PF_Err enterCall(Host &host, const char *function, const std::string &detail = std::string());

// The depth of a world the host handed out or created; false for a world the
// host does not know.
bool worldDepth(const Host &host, const PF_EffectWorld &world, Depth &depth);

// Suite tables, one per name and version.
const void *handleSuite();          // "PF Handle Suite" 1 and 2
const void *ansiSuite();            // "PF ANSI Suite" 1
const void *worldSuite1();          // "PF World Suite" 1
const void *worldSuite2();          // "PF World Suite" 2
const void *pathQuerySuite();       // "PF Path Query Suite" 1
const void *pathDataSuite();        // "PF Path Data Suite" 1
const void *colorFloatSuite();      // "PF ColorFloat Suite" 1
const void *fillMatteSuite();       // "PF Fill Matte Suite" 2
const void *sampling8Suite();       // "PF Sampling8 Suite" 1
const void *sampling16Suite();      // "PF Sampling16 Suite" 1
const void *samplingFloatSuite();   // "PF SamplingFloat Suite" 1
const void *paramUtilsSuite();      // "PF Param Utils Suite" 1 and 2
const void *utilitySuite();         // "AEGP Utility Suite" 7
const void *maskSuite();            // "AEGP Mask Suite" 1
const void *pfInterfaceSuite();     // "AEGP PF Interface Suite" 1
const void *effectSuite();          // "AEGP Effect Suite" 3
const void *streamSuite();          // "AEGP Stream Suite" 7 and 9
const void *keyframeSuite();        // "AEGP Keyframe Suite" 3 and 4

}  // namespace minihost
