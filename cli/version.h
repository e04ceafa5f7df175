// The pathbloom command's version, printed by `pathbloom --version`: the
// plug-in's own version (its property list's 1.0.0) that the command ships with.
#pragma once

namespace pathbloom {

constexpr const char *commandVersion = "1.0.0";

}  // namespace pathbloom
