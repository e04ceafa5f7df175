// `pathbloom check`: runs the plug-in's parameter UI update on a scene, then
// finds why each greyed-out setting is ignored by asking the plug-in itself:
// the same update on a second effect instance, with one popup at another
// choice or the mask turned the other way, then with two such changes.
#include "cli/check_command.h"

#include <cmath>
#include <map>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "cli/effect_session.h"
#include "cli/scene.h"
#include "cli/ui_probe.h"

namespace pathbloom {
namespace {

// Every other choice of every probed popup at the scene's time, then the
// mask that "Path" names, if it names one.
std::vector<Change> singleChanges(const minihost::Host &scene) {
    const double seconds = double(minihost::currentTime(scene)) / minihost::timeScale(scene);
    std::vector<Change> changes;
    for (const char *name : probedPopups) {
        const int index = minihost::paramIndex(scene, name);
        if (index < 1 || scene.paramDefs[size_t(index)].param_type != PF_Param_POPUP) continue;
        const long current = std::lround(minihost::paramValueAt(scene, index, seconds).number);
        for (int choice = 1; choice <= scene.paramDefs[size_t(index)].u.pd.num_choices; ++choice)
            if (choice != current) changes.push_back({index, choice});
    }
    const int path = minihost::paramIndex(scene, "Path");
    if (path >= 1 && scene.paramDefs[size_t(path)].param_type == PF_Param_PATH) {
        const long mask = std::lround(minihost::paramValueAt(scene, path, seconds).number);
        if (mask >= 1 && size_t(mask) <= scene.masks.size()) changes.push_back({0, int(mask)});
    }
    return changes;
}

std::string reasonLine(const minihost::Host &scene, int index, const std::vector<Enabler> &enablers) {
    const std::string line = quoted(paramName(scene.paramDefs[size_t(index)])) + " is ignored";
    if (enablers.empty()) return line + " (no change of one or two modes, or of the mask, enables it)";
    std::vector<std::string> texts;
    for (const Enabler &e : enablers) texts.push_back(enablerText(scene, e));
    std::string joined;
    for (size_t i = 0; i < texts.size(); ++i) joined += (i == 0 ? "" : " or ") + texts[i];
    return line + " unless " + joined;
}

// The reasons for the greyed-out settings `greyed` of the scene's host.
bool probeReasons(const Probe &probe, const std::set<int> &greyed, std::vector<std::string> &lines,
                  std::string &failure) {
    // First the scene as it is, as on the scene's host: a plug-in that
    // renews its UI only when the parameters differ from those it last saw
    // then starts from the same state as there.
    Greyed unchanged;
    if (!greyedWith(probe, {}, unchanged, failure)) return false;
    const std::vector<Change> singles = singleChanges(probe.scene);
    std::vector<Greyed> singleGreyed(singles.size());
    for (size_t k = 0; k < singles.size(); ++k)
        if (!greyedWith(probe, {singles[k]}, singleGreyed[k], failure)) return false;
    // Pairs of changes to two different popups, or a popup and the mask;
    // probed once, when a setting is the first that no single change enables.
    std::map<std::pair<size_t, size_t>, Greyed> pairGreyed;
    bool pairsProbed = false;

    for (int index : greyed) {
        std::vector<Enabler> enablers;
        for (size_t k = 0; k < singles.size(); ++k)
            if (singles[k].popup != index && !singleGreyed[k][size_t(index)])
                enablers.push_back(enablerOf({singles[k]}));
        if (enablers.empty() && !pairsProbed) {
            pairsProbed = true;
            for (size_t k = 0; k < singles.size(); ++k)
                for (size_t l = k + 1; l < singles.size(); ++l)
                    if (singles[k].popup != singles[l].popup &&
                        !greyedWith(probe, {singles[k], singles[l]}, pairGreyed[{k, l}], failure))
                        return false;
        }
        if (enablers.empty())
            for (const auto &[pair, withPair] : pairGreyed)
                if (singles[pair.first].popup != index && singles[pair.second].popup != index &&
                    !withPair[size_t(index)])
                    enablers.push_back(enablerOf({singles[pair.first], singles[pair.second]}));
        joinChoices(enablers);
        lines.push_back(reasonLine(probe.scene, index, enablers));
    }
    return true;
}

}  // namespace

int runCheck(const CheckOptions &options, std::ostream &out, std::ostream &err) {
    EffectSession reader;
    if (!startEffect(reader, options.pluginPath, err)) return 2;
    Scene scene;
    std::string error;
    if (!loadScene(options.scenePath, reader.host.paramDefs, scene, error)) {
        err << "pathbloom: " << error << "\n";
        return 2;
    }
    std::unique_ptr<EffectSession> prober;  // started when a first setting is greyed out
    bool found = false;
    for (size_t e = 0; e < scene.effects.size(); ++e) {
        const std::string effect = scene.effects.size() > 1 ? "effect " + std::to_string(e + 1) + ": " : "";
        // Each effect on a fresh instance, with only its own values set.
        EffectSession session;
        if (!startEffect(session, options.pluginPath, err)) return 2;
        minihost::Host &host = session.host;
        applyScene(host, scene, e);
        if (options.prepareHost) options.prepareHost(host);

        // A setting counts as ignored when it is greyed out at every frame;
        // without keyframes every frame looks the same as the first. The
        // frames run backwards so that the host ends at the first one, where
        // probing starts.
        std::set<int> greyed;
        bool keyframed = false;
        for (const SceneParam &param : scene.effects[e].params) {
            greyed.insert(param.index);
            keyframed = keyframed || !param.track.keyframes.empty();
        }
        for (int frame = keyframed ? scene.lastFrame : scene.firstFrame; frame >= scene.firstFrame; --frame) {
            host.frame = frame;
            std::string failure;
            if (!updateUI(host, failure)) {
                err << "pathbloom: " << effect << (keyframed ? "frame " + std::to_string(frame) + ": " : "") << failure
                    << "\n";
                return 2;
            }
            for (auto it = greyed.begin(); it != greyed.end();)
                it = minihost::paramDisabled(host, *it) ? std::next(it) : greyed.erase(it);
        }
        if (greyed.empty()) continue;

        if (!prober) {
            prober = std::make_unique<EffectSession>();
            if (!startEffect(*prober, options.pluginPath, err)) return 2;
            applyScene(prober->host, scene, e);
            if (options.prepareHost) options.prepareHost(prober->host);
        }
        std::vector<std::string> lines;
        std::string failure;
        if (!probeReasons(Probe{host, prober->host}, greyed, lines, failure)) {
            err << "pathbloom: " << effect << failure << "\n";
            return 2;
        }
        for (const std::string &line : lines) out << effect << line << "\n";
        found = true;
    }
    return found ? 1 : 0;
}

}  // namespace pathbloom
