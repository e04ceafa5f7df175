// `pathbloom info --describe`: the description table against the registered
// names, the "ignored" conditions as the plug-in's UI update answers them,
// and docs/parameters.md against what the command prints now.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/param_descriptions.h"
#include "cli/parameter_reference.h"
#include "cli/scene.h"
#include "tests/cli/cli_fixtures.h"

namespace {

std::vector<std::string> lines(const std::string &text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

// The registered names, each once (the group ends share ""), in the order
// they first appear, against the table: every name has exactly one entry, in
// registration order, and no entry names a parameter the plug-in lacks.
TEST(ParameterReference, OneDescriptionPerRegisteredName) {
    const std::vector<PF_ParamDef> &defs = registeredParams();
    ASSERT_EQ(defs.size(), 64u);
    std::vector<std::string> registered;
    for (size_t i = 1; i < defs.size(); ++i) {
        const std::string name = pathbloom::paramName(defs[i]);
        if (std::find(registered.begin(), registered.end(), name) == registered.end()) registered.push_back(name);
    }
    size_t count = 0;
    const pathbloom::ParamDescription *table = pathbloom::paramDescriptions(count);
    std::vector<std::string> described;
    for (size_t k = 0; k < count; ++k) {
        described.push_back(table[k].name);
        EXPECT_STRNE(table[k].unit, "") << table[k].name;
        EXPECT_STRNE(table[k].what, "") << table[k].name;
    }
    EXPECT_EQ(described, registered);
}

TEST(ParameterReference, IgnoredConditionsAreThePluginsAnswers) {
    std::ostringstream out, err;
    ASSERT_EQ(pathbloom::runDescribe({mainPluginPath(), false, nullptr}, out, err), 0) << err.str();
    const std::vector<std::string> text = lines(out.str());
    ASSERT_EQ(text.size(), 63u);
    const auto ignored = [&](size_t index) { return text[index - 1].substr(text[index - 1].rfind("; ") + 2); };
    EXPECT_EQ(text[0].rfind("1 \"Path\" (mask): ", 0), 0u) << text[0];
    EXPECT_EQ(ignored(1), "never ignored");
    EXPECT_EQ(ignored(3), "ignored when \"Mode\" is \"Vertex\"");
    // Only a pair of choices greys it out.
    EXPECT_EQ(ignored(4), "ignored when \"Mode\" is \"Line\" and \"Sub Mode\" is \"Constant\"");
    // A single choice, the mask, and a pair.
    EXPECT_EQ(ignored(6),
              "ignored when \"Mode\" is \"Number\", on an open mask or when \"Mode\" is \"Line\" and "
              "\"Sub Mode\" is \"Constant\"");
    // Greyed at the defaults ("Shape Mode" "Circle").
    EXPECT_EQ(ignored(20), "ignored when \"Shape Mode\" is \"Circle\", \"Layer\" or \"Keyframe\"");
    EXPECT_EQ(ignored(46),
              "ignored when \"Mode\" is \"Line\", when \"Shape Mode\" is \"Layer\" or when \"Stroke Mode\" is "
              "\"Dependent\"");
    EXPECT_EQ(ignored(63), "never ignored");
}

// A failing UI update is an error, not a reference that says "never".
TEST(ParameterReference, FailedUpdateIsAnError) {
    std::ostringstream out, err;
    const auto failing = [](minihost::Host &host) {
        host.faults.failCall["PF_UpdateParamUI"] = {1, PF_Err_INTERNAL_STRUCT_DAMAGED};
    };
    EXPECT_EQ(pathbloom::runDescribe({mainPluginPath(), true, failing}, out, err), 1);
    EXPECT_NE(err.str().find("failed with error 512"), std::string::npos) << err.str();
    EXPECT_EQ(out.str(), "");
}

TEST(ParameterReference, CommittedMarkdownIsCurrent) {
    const CommandResult result = runPathbloom("info --describe --markdown '" + mainPluginPath() + "'");
    ASSERT_EQ(result.status, 0) << result.err;
    std::ifstream file(std::string(PATHBLOOM_SOURCE_DIR) + "/docs/parameters.md");
    ASSERT_TRUE(file) << "docs/parameters.md is missing";
    std::ostringstream committed;
    committed << file.rdbuf();
    EXPECT_EQ(committed.str(), result.out)
        << "regenerate it: pathbloom info --describe --markdown > docs/parameters.md";
}

}  // namespace
