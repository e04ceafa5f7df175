// Asking the plug-in what it greys out, on a second effect instance.
#include "cli/ui_probe.h"

#include "cli/effect_session.h"
#include "cli/scene.h"

namespace pathbloom {
namespace {

std::string changeText(const minihost::Host &scene, const Change &c) {
    if (c.popup == 0) return maskClosed(scene, c.choice) ? "the mask open" : "the mask closed";
    const PF_ParamDef &def = scene.paramDefs[size_t(c.popup)];
    return quoted(paramName(def)) + " " + quoted(choiceName(def, c.choice));
}

// The one popup whose choices differ between two enablers that are otherwise
// the same; 0 when they are the same, -1 when they differ otherwise or more.
int onlyDifference(const Enabler &a, const Enabler &b) {
    if (a.mask != b.mask || a.popups.size() != b.popups.size()) return -1;
    int popup = 0;
    for (const auto &[index, choices] : a.popups) {
        const auto other = b.popups.find(index);
        if (other == b.popups.end()) return -1;
        if (other->second == choices) continue;
        if (popup != 0) return -1;
        popup = index;
    }
    return popup;
}

}  // namespace

const char *const probedPopups[8] = {"Mode",       "Sub Mode",   "Order",       "Radius Mode",
                                     "Shape Mode", "Color Mode", "Stroke Mode", "Opacity Mode"};

std::string quoted(const std::string &text) { return "\"" + text + "\""; }

std::string choiceName(const PF_ParamDef &def, int choice) {
    const std::vector<std::string> names = popupChoices(def);
    return choice >= 1 && size_t(choice) <= names.size() ? names[size_t(choice) - 1] : std::to_string(choice);
}

bool maskClosed(const minihost::Host &host, int mask) { return host.masks.at(size_t(mask) - 1).closed; }

bool greyedWith(const Probe &probe, const std::vector<Change> &changes, Greyed &greyed, std::string &failure) {
    minihost::Host &host = probe.host;
    host.params = probe.scene.params;
    host.masks = probe.scene.masks;
    host.frame = probe.scene.frame;
    for (const Change &c : changes) {
        if (c.popup > 0)
            minihost::setParam(host, c.popup, minihost::ParamValue{double(c.choice)});
        else
            host.masks[size_t(c.choice) - 1].closed = !maskClosed(probe.scene, c.choice);
    }
    if (!updateUI(host, failure)) {
        std::string with;
        for (const Change &c : changes) with += (with.empty() ? "with " : " and ") + changeText(probe.scene, c);
        if (!with.empty()) failure = with + ", " + failure;
        return false;
    }
    greyed.assign(host.paramDefs.size(), false);
    for (size_t i = 0; i < greyed.size(); ++i) greyed[i] = minihost::paramDisabled(host, int(i));
    return true;
}

std::string listed(const std::vector<std::string> &items) {
    std::string text;
    for (size_t i = 0; i < items.size(); ++i) text += (i == 0 ? "" : i + 1 == items.size() ? " or " : ", ") + items[i];
    return text;
}

Enabler enablerOf(const std::vector<Change> &changes) {
    Enabler e;
    for (const Change &c : changes) {
        if (c.popup > 0)
            e.popups[c.popup].insert(c.choice);
        else
            e.mask = c.choice;
    }
    return e;
}

void joinChoices(std::vector<Enabler> &enablers) {
    for (bool joined = true; joined;) {
        joined = false;
        for (size_t i = 0; i < enablers.size(); ++i) {
            for (size_t j = i + 1; j < enablers.size();) {
                const int popup = onlyDifference(enablers[i], enablers[j]);
                if (popup < 0) {
                    ++j;
                    continue;
                }
                if (popup > 0) {
                    const std::set<int> &more = enablers[j].popups.at(popup);
                    enablers[i].popups[popup].insert(more.begin(), more.end());
                }
                enablers.erase(enablers.begin() + std::ptrdiff_t(j));
                joined = true;
            }
        }
    }
}

std::string enablerText(const minihost::Host &scene, const Enabler &e) {
    std::string text;
    for (const auto &[popup, choices] : e.popups) {
        const PF_ParamDef &def = scene.paramDefs[size_t(popup)];
        std::vector<std::string> names;
        for (int choice : choices) names.push_back(quoted(choiceName(def, choice)));
        text += (text.empty() ? "" : " and ") + quoted(paramName(def)) + " is " + listed(names);
    }
    if (e.mask)
        text +=
            (text.empty() ? "" : " ") + std::string(maskClosed(scene, e.mask) ? "on an open mask" : "on a closed mask");
    return text;
}

}  // namespace pathbloom
