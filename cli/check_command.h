// `pathbloom check`: the settings of a scene that the plug-in greys out, and
// what would make it use them.
#pragma once

#include <ostream>
#include <string>

#include "minihost/minihost.h"

namespace pathbloom {

struct CheckOptions {
    std::string scenePath;
    std::string pluginPath;  // empty: the one findPlugin finds
    // Called for every host the check sets up (the scene's and the one it
    // probes), once the scene is applied, before the plug-in's parameter UI
    // update first runs: lets tests stand in for the plug-in or inject faults.
    void (*prepareHost)(minihost::Host &host) = nullptr;
};

// Prints one line per parameter that the scene sets or keyframes and that
// the plug-in greys out at every frame of the scene, with the popup choices
// or mask that would enable it:
//   "Side" is ignored unless "Shape Mode" is "Polygon"
// Returns 0 when there is none, 1 when there are some, 2 after an error (the
// plug-in, the scene or the plug-in's UI update).
int runCheck(const CheckOptions &options, std::ostream &out, std::ostream &err);

}  // namespace pathbloom
