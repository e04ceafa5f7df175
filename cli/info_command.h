// `pathbloom info`: what a plug-in file declares and registers.
#pragma once

#include <ostream>
#include <string>

#include "minihost/minihost.h"

namespace pathbloom {

// One registered parameter as a line of text: index, name, type, default,
// valid and slider ranges, choices.
std::string describeParam(int index, const PF_ParamDef &def);

// Prints the property list, the about text and the registered parameters of
// the plug-in at `pluginPath`. Returns the process exit code.
int runInfo(const std::string &pluginPath, std::ostream &out, std::ostream &err);

}  // namespace pathbloom
