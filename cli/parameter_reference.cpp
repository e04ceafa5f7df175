// `pathbloom info --describe`: the description table joined with the
// conditions under which the plug-in greys each parameter out, found by
// probing its UI update from the defaults.
#include "cli/parameter_reference.h"

#include <algorithm>
#include <map>
#include <vector>

#include "cli/effect_session.h"
#include "cli/param_descriptions.h"
#include "cli/scene.h"
#include "cli/ui_probe.h"

namespace pathbloom {
namespace {

// One condition of a probe: a popup at one of its choices (the default one
// included), or the mask open.
using Literal = Change;

// Literals ordered by popup, then choice: a set of them probed once.
struct LiteralOrder {
    bool operator()(const std::vector<Literal> &a, const std::vector<Literal> &b) const {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), before);
    }
    static bool before(const Literal &a, const Literal &b) {
        return a.popup != b.popup ? a.popup < b.popup : a.choice < b.choice;
    }
};

// What the plug-in greys out with a set of literals, each probed once.
struct Prober {
    Probe probe;
    std::map<std::vector<Literal>, Greyed, LiteralOrder> seen;
    std::string failure;
};

const Greyed *greyedFor(Prober &p, std::vector<Literal> literals) {
    std::sort(literals.begin(), literals.end(), LiteralOrder::before);
    auto it = p.seen.find(literals);
    if (it == p.seen.end()) {
        Greyed greyed;
        if (!greyedWith(p.probe, literals, greyed, p.failure)) return nullptr;
        it = p.seen.emplace(literals, std::move(greyed)).first;
    }
    return &it->second;
}

// Every choice of every probed popup, then the mask open.
std::vector<Literal> allLiterals(const minihost::Host &host) {
    std::vector<Literal> literals;
    for (const char *name : probedPopups) {
        const int index = minihost::paramIndex(host, name);
        if (index < 1 || host.paramDefs[size_t(index)].param_type != PF_Param_POPUP) continue;
        for (int choice = 1; choice <= host.paramDefs[size_t(index)].u.pd.num_choices; ++choice)
            literals.push_back({index, choice});
    }
    literals.push_back({0, 1});
    return literals;
}

bool sharesControl(const std::vector<Literal> &term, const Literal &l) {
    for (const Literal &t : term)
        if (t.popup == l.popup) return true;
    return false;
}

// A term is a reason for `index` to be ignored when the plug-in greys it out
// with the term's literals and still does with any one more literal of a
// popup the term leaves alone. Sets `failed` when an update fails.
bool isReason(Prober &p, const std::vector<Literal> &literals, const std::vector<Literal> &term, int index,
              bool &failed) {
    const Greyed *greyed = greyedFor(p, term);
    if (!greyed) return !(failed = true);
    if (!(*greyed)[size_t(index)]) return false;
    for (const Literal &l : literals) {
        if (sharesControl(term, l)) continue;
        std::vector<Literal> more = term;
        more.push_back(l);
        const Greyed *withMore = greyedFor(p, more);
        if (!withMore) return !(failed = true);
        if (!(*withMore)[size_t(index)]) return false;
    }
    return true;
}

// The terms of one or two literals (none on the parameter itself) under which
// `index` is ignored; a pair only when neither of its literals is one alone.
bool reasonsFor(Prober &p, const std::vector<Literal> &literals, int index, std::vector<Enabler> &reasons) {
    bool failed = false;
    std::vector<bool> single(literals.size(), false);
    for (size_t k = 0; k < literals.size(); ++k) {
        if (literals[k].popup == index) continue;
        single[k] = isReason(p, literals, {literals[k]}, index, failed);
        if (failed) return false;
        if (single[k]) reasons.push_back(enablerOf({literals[k]}));
    }
    for (size_t k = 0; k < literals.size(); ++k)
        for (size_t l = k + 1; l < literals.size(); ++l) {
            if (single[k] || single[l] || literals[k].popup == index || literals[l].popup == index ||
                literals[k].popup == literals[l].popup)
                continue;
            if (isReason(p, literals, {literals[k], literals[l]}, index, failed))
                reasons.push_back(enablerOf({literals[k], literals[l]}));
            if (failed) return false;
        }
    joinChoices(reasons);
    return true;
}

// "never", or `when "Mode" is "Line" and "Sub Mode" is "Constant", on an
// open mask or when "Shape Mode" is "Layer"`.
std::string ignoredText(Prober &p, const std::vector<Literal> &literals, int index, bool &failed) {
    bool everGreyed = false;
    for (const auto &probed : p.seen) everGreyed = everGreyed || probed.second[size_t(index)];
    if (!everGreyed) return "never";
    std::vector<Enabler> reasons;
    if (!reasonsFor(p, literals, index, reasons)) {
        failed = true;
        return "";
    }
    if (reasons.empty()) return "in some combinations of the modes";
    std::vector<std::string> texts;
    for (const Enabler &e : reasons) texts.push_back((e.popups.empty() ? "" : "when ") + enablerText(p.probe.scene, e));
    return listed(texts);
}

std::string shownName(const std::string &name) { return name.empty() ? "(group end)" : quoted(name); }

}  // namespace

int runDescribe(const DescribeOptions &options, std::ostream &out, std::ostream &err) {
    // The defaults on a closed mask, and a second instance that probes.
    EffectSession defaults, prober;
    if (!startEffect(defaults, options.pluginPath, err) || !startEffect(prober, options.pluginPath, err)) return 1;
    minihost::Mask triangle;
    triangle.vertices = {{5, 5}, {35, 5}, {35, 25}};
    for (EffectSession *session : {&defaults, &prober}) {
        session->host.masks = {triangle};
        if (options.prepareHost) options.prepareHost(session->host);
    }
    std::string failure;
    if (!updateUI(defaults.host, failure)) {
        err << "pathbloom: " << failure << "\n";
        return 1;
    }
    Prober p{Probe{defaults.host, prober.host}, {}, {}};
    const std::vector<Literal> literals = allLiterals(defaults.host);
    // Every single choice and pair first: "never" means greyed in none of them.
    for (size_t k = 0; k < literals.size(); ++k)
        for (size_t l = k; l < literals.size(); ++l)
            if ((k == l || literals[k].popup != literals[l].popup) && !greyedFor(p, {literals[k], literals[l]})) {
                err << "pathbloom: " << p.failure << "\n";
                return 1;
            }

    const std::vector<PF_ParamDef> &defs = defaults.host.paramDefs;
    if (options.markdown)
        out << "# Parameters\n\n"
            << "The plug-in's " << defs.size() - 1 << " parameters in the order it registers them. "
            << "\"Ignored\" says when the plug-in greys a parameter out, as its own parameter UI update "
            << "answers from the defaults on a closed mask. Generated by `pathbloom info --describe --markdown`.\n\n"
            << "| # | Parameter | Unit | What it does | Ignored |\n|---|---|---|---|---|\n";
    for (size_t i = 1; i < defs.size(); ++i) {
        const std::string name = paramName(defs[i]);
        const ParamDescription *d = findParamDescription(name);
        bool failed = false;
        const std::string ignored = ignoredText(p, literals, int(i), failed);
        if (failed) {
            err << "pathbloom: " << p.failure << "\n";
            return 1;
        }
        const std::string unit = d ? d->unit : "?", what = d ? d->what : "(no description)";
        if (options.markdown)
            out << "| " << i << " | " << shownName(name) << " | " << unit << " | " << what << " | " << ignored
                << " |\n";
        else
            out << i << " " << shownName(name) << " (" << unit << "): " << what << "; "
                << (ignored == "never" ? "never ignored" : "ignored " + ignored) << "\n";
    }
    return 0;
}

}  // namespace pathbloom
