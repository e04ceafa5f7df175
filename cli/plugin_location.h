// Which plug-in file the pathbloom command loads: the one named on the
// command line, else the one PATHBLOOM_PLUGIN names, else the first found of
// the places a build or an installation puts it beside the executable.
#pragma once

#include <string>
#include <vector>

namespace pathbloom {

constexpr const char *pluginVariable = "PATHBLOOM_PLUGIN";

// The places looked in, in order, when neither the command line nor
// PATHBLOOM_PLUGIN names a file: the build's plugin/ folder, the
// executable's own folder, and ../lib/vomrelpathbloom/ as `make install`
// lays it out.
std::vector<std::string> defaultPluginPlaces(const std::string &executableFolder);

// `given` (the command line's; empty: none) wins as it is, found or not: the
// loader says what is wrong with it. Otherwise `environment` (the variable's
// value; null or empty: unset) when that file exists, else the first default
// place that holds one. False with `error` naming every place looked in and
// how to choose another.
bool locatePlugin(const std::string &given, const char *environment, const std::string &executableFolder,
                  std::string &path, std::string &error);

// locatePlugin with this process's environment and executable.
bool findPlugin(const std::string &given, std::string &path, std::string &error);

}  // namespace pathbloom
