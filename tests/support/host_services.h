// The host's side of engine functions that tests call directly: the effect
// reference, the suites a render holds and the path ids of masks, all taken
// through minihost's public interface the way the plug-in takes them.
#pragma once

#include <vector>

#include <gtest/gtest.h>

#include "minihost/minihost.h"
#include "tests/minihost/scripted_plugin.h"

namespace hosttest {

// Acquires the suites from the basic suite inside one command and releases
// them inside another when it goes; the effect reference stays the host's.
struct HostServices {
    explicit HostServices(minihost::Host &owner) : host(owner) {
        minihost::runInCommand(host, [&](PF_InData &in, PF_OutData &) {
            ref = in.effect_ref;
            const SPBasicSuite &basic = *in.pica_basicP;
            const void *suite = nullptr;
            EXPECT_EQ(basic.AcquireSuite(kPFPathQuerySuite, kPFPathQuerySuiteVersion1, &suite), kSPNoError);
            pathQuery = static_cast<const PF_PathQuerySuite1 *>(suite);
            EXPECT_EQ(basic.AcquireSuite(kPFPathDataSuite, kPFPathDataSuiteVersion1, &suite), kSPNoError);
            pathData = static_cast<const PF_PathDataSuite1 *>(suite);
            EXPECT_EQ(basic.AcquireSuite(kPFColorCallbacksFloatSuite, kPFColorCallbacksFloatSuiteVersion1, &suite),
                      kSPNoError);
            color = static_cast<const PF_ColorCallbacksFloatSuite1 *>(suite);
            return PF_Err_NONE;
        });
    }
    ~HostServices() {
        minihost::runInCommand(host, [](PF_InData &in, PF_OutData &) {
            const SPBasicSuite &basic = *in.pica_basicP;
            basic.ReleaseSuite(kPFPathQuerySuite, kPFPathQuerySuiteVersion1);
            basic.ReleaseSuite(kPFPathDataSuite, kPFPathDataSuiteVersion1);
            basic.ReleaseSuite(kPFColorCallbacksFloatSuite, kPFColorCallbacksFloatSuiteVersion1);
            return PF_Err_NONE;
        });
    }
    HostServices(const HostServices &) = delete;
    HostServices &operator=(const HostServices &) = delete;

    minihost::Host &host;
    PF_ProgPtr ref = nullptr;
    const PF_PathQuerySuite1 *pathQuery = nullptr;
    const PF_PathDataSuite1 *pathData = nullptr;
    const PF_ColorCallbacksFloatSuite1 *color = nullptr;
};

// The path id that a "Path" parameter set to mask `number` (1-based) carries.
inline PF_PathID maskPathId(minihost::Host &host, int number) {
    const std::vector<PF_ParamDef> defs = host.paramDefs;
    const std::vector<minihost::ParamTrack> tracks = host.params;
    PF_ParamDef path{};
    path.param_type = PF_Param_PATH;
    host.paramDefs = {PF_ParamDef{}, path};
    host.params.assign(2, minihost::ParamTrack{});
    host.params[1].value.number = number;
    const PF_PathID id = minihost::paramDefAt(host, 1, 0).u.path_d.path_id;
    host.paramDefs = defs;
    host.params = tracks;
    return id;
}

}  // namespace hosttest
