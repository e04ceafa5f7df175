// Reads the list of plug-in files under test.
#include "tests/support/plugin_paths.h"

#include <cstdlib>
#include <sstream>

std::vector<PluginUnderTest> pluginsUnderTest() {
    const char *fromEnvironment = std::getenv("PATHBLOOM_TEST_PLUGINS");
    std::string list = fromEnvironment ? fromEnvironment : PATHBLOOM_TEST_PLUGINS;
    std::vector<PluginUnderTest> plugins;
    std::stringstream entries(list);
    std::string entry;
    while (std::getline(entries, entry, ';')) {
        const auto equals = entry.find('=');
        if (equals == std::string::npos) continue;
        plugins.push_back({entry.substr(0, equals), entry.substr(equals + 1)});
    }
    return plugins;
}

PluginUnderTest pluginForProfile(const std::string &profile) {
    for (const PluginUnderTest &plugin : pluginsUnderTest())
        if (plugin.profile == profile) return plugin;
    return {profile, std::string()};
}
