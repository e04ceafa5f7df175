// `pathbloom info --describe`: one line per registered parameter with what it
// does, its unit and when the plug-in ignores it.
#pragma once

#include <ostream>
#include <string>

#include "minihost/minihost.h"

namespace pathbloom {

struct DescribeOptions {
    std::string pluginPath;  // empty: the one findPlugin finds
    bool markdown = false;   // a Markdown table (docs/parameters.md) instead of text
    // Called for every host the probing sets up, before the first UI update:
    // lets tests inject faults.
    void (*prepareHost)(minihost::Host &host) = nullptr;
};

// Prints every registered parameter in registration order with its entry of
// the description table and the conditions under which the plug-in greys it
// out, found by asking the plug-in's own UI update: from the defaults on a
// closed mask, each choice of the mode popups, pairs and triples of them and
// the mask open. Returns 0, or 1 after an error.
int runDescribe(const DescribeOptions &options, std::ostream &out, std::ostream &err);

}  // namespace pathbloom
