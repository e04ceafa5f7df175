// `pathbloom info`: what a plug-in file declares and registers.
#pragma once

#include <nlohmann/json.hpp>

#include <ostream>
#include <string>

#include "minihost/minihost.h"

namespace pathbloom {

// One registered parameter as a line of text: index, `column` when given,
// name, type, default, valid and slider ranges, choices.
std::string describeParam(int index, const PF_ParamDef &def, const char *column = nullptr);

// One registered parameter as JSON: index, name, type, disk id, default,
// valid and slider ranges, precision and percent display of decimal sliders,
// choices of a popup, and its flags by name. Fixed-point values are given in
// their units (a 16.16 angle in degrees); float-slider values as the floats
// registered, in the fewest digits that read back as the same float.
nlohmann::ordered_json paramJson(int index, const PF_ParamDef &def);

struct InfoOptions {
    std::string pluginPath;  // empty: the one findPlugin finds
    // With a scene, each parameter also shows whether the plug-in greys it
    // out with the values of the scene's first effect at its first frame.
    std::string scenePath;
    // Called once the scene is applied, before the plug-in's parameter UI
    // update: lets tests stand in for the plug-in.
    void (*prepareHost)(minihost::Host &host) = nullptr;
    bool json = false;  // one JSON document instead of the text
    // Instead of the above, the parameter reference: what each parameter
    // does, its unit and when it is ignored (runDescribe), as text or, with
    // `markdown`, as a Markdown table.
    bool describe = false;
    bool markdown = false;
};

// Prints the property list, the about text and the registered parameters of
// the plug-in, as text or one JSON document. Returns the process exit code.
int runInfo(const InfoOptions &options, std::ostream &out, std::ostream &err);

}  // namespace pathbloom
