// `pathbloom info`: what a plug-in file declares and registers.
#pragma once

#include <ostream>
#include <string>

#include "minihost/minihost.h"

namespace pathbloom {

// One registered parameter as a line of text: index, `column` when given,
// name, type, default, valid and slider ranges, choices.
std::string describeParam(int index, const PF_ParamDef &def, const char *column = nullptr);

struct InfoOptions {
    std::string pluginPath;  // empty: the plug-in built beside the executable
    // With a scene, each parameter also shows whether the plug-in greys it
    // out with the values of the scene's first effect at its first frame.
    std::string scenePath;
    // Called once the scene is applied, before the plug-in's parameter UI
    // update: lets tests stand in for the plug-in.
    void (*prepareHost)(minihost::Host &host) = nullptr;
};

// Prints the property list, the about text and the registered parameters of
// the plug-in. Returns the process exit code.
int runInfo(const InfoOptions &options, std::ostream &out, std::ostream &err);

}  // namespace pathbloom
