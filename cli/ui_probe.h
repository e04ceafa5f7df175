// Asking the plug-in what it greys out: its parameter UI update run on a
// second effect instance with the values of a first one and a few popups (or
// the mask) changed. Shared by `pathbloom check` and `info --describe`.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "minihost/minihost.h"

namespace pathbloom {

// The popups whose choices decide which settings the plug-in uses.
extern const char *const probedPopups[8];

// One change a probe makes to the first instance's values: a popup set to a
// choice, or the mask that "Path" names turned the other way (open or closed).
struct Change {
    int popup = 0;   // parameter index; 0: the mask instead
    int choice = 0;  // 1-based popup choice; for the mask, its number
};

// Greyed out in a control panel, by parameter index.
using Greyed = std::vector<bool>;

// The first instance after its own UI update, and the second instance that
// probes: before each probe it takes the first one's parameters, masks and
// time.
struct Probe {
    const minihost::Host &scene;
    minihost::Host &host;
};

// What the plug-in greys out with `changes` made to the first instance's
// values. False when the UI update fails, with `failure` naming the changes.
bool greyedWith(const Probe &probe, const std::vector<Change> &changes, Greyed &greyed, std::string &failure);

std::string quoted(const std::string &text);

// The name of a popup's 1-based choice; the number when out of range.
std::string choiceName(const PF_ParamDef &def, int choice);

// Whether mask `mask` (1-based) of `host` is closed.
bool maskClosed(const minihost::Host &host, int mask);

// `"A"`, `"A" or "B"`, `"A", "B" or "C"`.
std::string listed(const std::vector<std::string> &items);

// One way to enable a setting: every popup named at one of its choices, and
// the mask turned the other way when `mask` is its number.
struct Enabler {
    std::map<int, std::set<int>> popups;  // parameter index -> choices
    int mask = 0;
};

Enabler enablerOf(const std::vector<Change> &changes);

// Joins enablers that differ only in the choices of one popup, so that
// "Stroke Mode" "Normal" and "Stroke Mode" "Dependent" read as one, until no
// two can be joined.
void joinChoices(std::vector<Enabler> &enablers);

// `"Mode" is "Number" or "Line" and "Sub Mode" is "Dependent"`, then "on an
// open mask" (or closed) when the mask of `scene` is turned the other way.
std::string enablerText(const minihost::Host &scene, const Enabler &e);

}  // namespace pathbloom
