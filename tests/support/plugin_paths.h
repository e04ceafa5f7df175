// Which plug-in files the tests load: every profile the build produced.
#pragma once

#include <string>
#include <vector>

struct PluginUnderTest {
    std::string profile;  // "X64" or "X86"
    std::string path;
};

// From the build's list, overridden by PATHBLOOM_TEST_PLUGINS in the
// environment ("PROFILE=path;PROFILE=path") for runs under an emulator.
std::vector<PluginUnderTest> pluginsUnderTest();

// The plug-in of one profile; empty path when the build has none.
PluginUnderTest pluginForProfile(const std::string &profile);
