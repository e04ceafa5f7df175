// SuiteHandler (acquire once, release once, missing suites) and SuiteScope
// (scoped acquisition with a message for the user).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host/build_profile.h"
#include "host/suite_handler.h"
#include "host/suite_scope.h"
#include "tests/host/fake_host.h"

namespace {

TEST(SuiteHandler, NullBasicSuiteThrows516) {
    try {
        SuiteHandler suites(nullptr);
        FAIL() << "no exception";
    } catch (PF_Err err) {
        EXPECT_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
    }
}

TEST(SuiteHandler, TwoAccessesAcquireOnceAndReleaseOnce) {
    FakeHost host;
    {
        SuiteHandler suites(&host.basic);
        const PF_PathQuerySuite1 *first = suite<SuiteId::PathQuery>(suites);
        const PF_PathQuerySuite1 *second = suite<SuiteId::PathQuery>(suites);
        EXPECT_EQ(first, second);
        EXPECT_EQ(host.count("AcquireSuite PF Path Query Suite 1"), 1);
        EXPECT_EQ(host.suitesHeld(), 1);
    }
    EXPECT_EQ(host.count("ReleaseSuite PF Path Query Suite 1"), 1);
    EXPECT_EQ(host.suitesHeld(), 0);
}

TEST(SuiteHandler, UntouchedHandlerReleasesNothing) {
    FakeHost host;
    { SuiteHandler suites(&host.basic); }
    EXPECT_TRUE(host.calls.empty());
}

TEST(SuiteHandler, EverySuiteAcquiredIsReleasedOnce) {
    FakeHost host;
    {
        SuiteHandler suites(&host.basic);
        for (int id = 0; id < static_cast<int>(SuiteId::Count); ++id) acquireSuite(suites, static_cast<SuiteId>(id));
        EXPECT_EQ(host.count("AcquireSuite"), 14);
    }
    EXPECT_EQ(host.count("ReleaseSuite"), 14);
    EXPECT_EQ(host.suitesHeld(), 0);
}

// Names and versions: the 32-bit build asks for older versions of four.
TEST(SuiteHandler, SuiteVersionsOfThisBuild) {
    struct Case {
        SuiteId id;
        const char *x64;
        const char *x86;
    };
    const Case cases[] = {
        {SuiteId::Handle, "PF Handle Suite 2", "PF Handle Suite 1"},
        {SuiteId::ParamUtils, "PF Param Utils Suite 2", "PF Param Utils Suite 1"},
        {SuiteId::Stream, "AEGP Stream Suite 9", "AEGP Stream Suite 7"},
        {SuiteId::Keyframe, "AEGP Keyframe Suite 4", "AEGP Keyframe Suite 3"},
        {SuiteId::Utility, "AEGP Utility Suite 7", nullptr},
        {SuiteId::PathQuery, "PF Path Query Suite 1", nullptr},
        {SuiteId::PathData, "PF Path Data Suite 1", nullptr},
        {SuiteId::World1, "PF World Suite 1", nullptr},
        {SuiteId::Sampling8, "PF Sampling8 Suite 1", nullptr},
        {SuiteId::Sampling16, "PF Sampling16 Suite 1", nullptr},
        {SuiteId::SamplingFloat, "PF SamplingFloat Suite 1", nullptr},
        {SuiteId::PFInterface, "AEGP PF Interface Suite 1", nullptr},
        {SuiteId::Effect, "AEGP Effect Suite 3", nullptr},
        {SuiteId::Ansi, "PF ANSI Suite 1", nullptr},
    };
    for (const Case &c : cases) {
        const std::string expected = kProfileX86 && c.x86 ? c.x86 : c.x64;
        FakeHost host;
        {
            SuiteHandler suites(&host.basic);
            EXPECT_NE(acquireSuite(suites, c.id), nullptr);
        }
        ASSERT_EQ(host.calls.size(), 2u) << expected;
        EXPECT_EQ(host.calls[0], "AcquireSuite " + expected);
        EXPECT_EQ(host.calls[1], "ReleaseSuite " + expected);
    }
}

TEST(SuiteHandler, MissingSuiteThrows516AndKeepsOthersReleased) {
    FakeHost host;
    host.missingSuites.insert(kPFPathDataSuite);
    std::strcpy(host.out.return_msg, "before");
    try {
        SuiteHandler suites(&host.basic);
        suite<SuiteId::PathQuery>(suites);
        suite<SuiteId::PathData>(suites);
        FAIL() << "no exception";
    } catch (PF_Err err) {
        EXPECT_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
    }
    EXPECT_EQ(host.count("ReleaseSuite PF Path Query Suite 1"), 1);
    EXPECT_EQ(host.count("ReleaseSuite PF Path Data Suite"), 0) << "a refused suite is not released";
    EXPECT_EQ(host.suitesHeld(), 0);
    EXPECT_STREQ(host.out.return_msg, "before");
    EXPECT_EQ(host.out.out_flags, 0u);
}

TEST(SuiteHandler, SuiteRefusedAgainIsAskedForAgain) {
    FakeHost host;
    host.missingSuites.insert(kPFHandleSuite);
    SuiteHandler suites(&host.basic);
    EXPECT_THROW(suite<SuiteId::Handle>(suites), PF_Err);
    EXPECT_THROW(suite<SuiteId::Handle>(suites), PF_Err);
    EXPECT_EQ(host.count("AcquireSuite PF Handle Suite"), 2);
}

// SuiteScope.

struct ScopeCase {
    const char *name;
    bool release;
    const char *message;  // null: the default
    bool basicSuite;
    bool missing;
    PF_Err result;
    const char *shown;  // expected return_msg; "" when nothing is shown
};

class SuiteScope : public ::testing::TestWithParam<ScopeCase> {};

TEST_P(SuiteScope, ResultAndMessage) {
    const ScopeCase &c = GetParam();
    FakeHost host;
    if (!c.basicSuite) host.in.pica_basicP = nullptr;
    if (c.missing) host.missingSuites.insert(kPFWorldSuite);
    host.out.out_flags = PF_OutFlag_REFRESH_UI;
    const void *suite = nullptr;
    PF_Err err;
    if (c.release) {
        err = suiteScopeRelease(&host.in, &host.out, kPFWorldSuite, kPFWorldSuiteVersion2, c.message);
    } else {
        err = suiteScopeAcquire(&host.in, &host.out, kPFWorldSuite, kPFWorldSuiteVersion2, c.message, &suite);
    }
    EXPECT_EQ(err, c.result);
    EXPECT_STREQ(host.out.return_msg, c.shown);
    if (c.result == PF_Err_NONE) {
        EXPECT_EQ(host.out.out_flags, static_cast<PF_OutFlags>(PF_OutFlag_REFRESH_UI));
        EXPECT_EQ(host.count(c.release ? "ReleaseSuite PF World Suite 2" : "AcquireSuite PF World Suite 2"), 1);
        if (!c.release) {
            EXPECT_NE(suite, nullptr);
        }
    } else {
        EXPECT_EQ(host.out.out_flags,
                  static_cast<PF_OutFlags>(PF_OutFlag_REFRESH_UI | PF_OutFlag_DISPLAY_ERROR_MESSAGE));
        EXPECT_EQ(host.count("sprintf"), 1) << "written with the host's sprintf";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SuiteScope,
    ::testing::Values(
        ScopeCase{"AcquireOk", false, "Couldn't load suite.", true, false, PF_Err_NONE, ""},
        ScopeCase{"AcquireMissingDefault", false, nullptr, true, true, 516, "Not able to acquire AEFX Suite."},
        ScopeCase{"AcquireMissingMessage", false, "Couldn't load suite.", true, true, 516, "Couldn't load suite."},
        ScopeCase{"AcquireNoBasicSuite", false, nullptr, false, false, 516, "Not able to acquire AEFX Suite."},
        ScopeCase{"ReleaseOk", true, "Couldn't release suite.", true, false, PF_Err_NONE, ""},
        ScopeCase{"ReleaseNoBasicDefault", true, nullptr, false, false, 516, "Not able to release AEFX Suite."},
        ScopeCase{"ReleaseNoBasicMessage", true, "Couldn't release suite.", false, false, 516,
                  "Couldn't release suite."},
        // A message is shown as it stands, never read as a format.
        ScopeCase{"PercentShownLiterally", false, "100% %s %n", true, true, 516, "100% %s %n"}),
    [](const ::testing::TestParamInfo<ScopeCase> &info) { return std::string(info.param.name); });

TEST(SuiteScopeMessage, StalePointerIsNotTakenForASuite) {
    FakeHost host;
    host.missingSuites.insert(kPFWorldSuite);
    const void *suite = &host;
    EXPECT_EQ(suiteScopeAcquire(&host.in, &host.out, kPFWorldSuite, 2, nullptr, &suite), 516);
    EXPECT_EQ(suite, nullptr);
}

TEST(SuiteScopeMessage, LongMessageIsCutToTheField) {
    FakeHost host;
    host.in.pica_basicP = nullptr;
    const std::string longText(600, 'x');
    const void *suite = nullptr;
    EXPECT_EQ(suiteScopeAcquire(&host.in, &host.out, kPFWorldSuite, 2, longText.c_str(), &suite), 516);
    EXPECT_EQ(std::string(host.out.return_msg), std::string(PF_MAX_EFFECT_MSG_LEN, 'x'));
}

}  // namespace
