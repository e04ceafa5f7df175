// What each of the plug-in's parameters does and the unit of its value, in
// a few words, by the name the plug-in registers it under.
#pragma once

#include <cstddef>
#include <string>

namespace pathbloom {

struct ParamDescription {
    const char *name;  // as registered; "" for the group ends
    const char *unit;  // "pixels", "degrees", "percent", "choice", ...
    const char *what;  // one sentence, no final full stop
};

// All entries, one per registered parameter name, in registration order.
const ParamDescription *paramDescriptions(size_t &count);

// The entry for `name`, or null when there is none.
const ParamDescription *findParamDescription(const std::string &name);

}  // namespace pathbloom
