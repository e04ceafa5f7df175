// Starting an effect instance in minihost and updating its parameter UI.
#include "cli/effect_session.h"

namespace pathbloom {

EffectSession::~EffectSession() {
    if (setUp) minihost::teardownEffect(host);
    minihost::closePlugin(host);
}

bool startEffect(EffectSession &session, const std::string &pluginPath, std::ostream &err) {
    const std::string path = pluginPath.empty() ? minihost::defaultPluginPath() : pluginPath;
    std::string error;
    if (!minihost::openPlugin(session.host, path, error)) {
        err << "pathbloom: " << (error.find(path) == std::string::npos ? path + ": " : "") << error << "\n";
        return false;
    }
    const PF_Err setupError = minihost::setupEffect(session.host);
    if (setupError != PF_Err_NONE) {
        err << "pathbloom: setting up the effect failed with error " << setupError << "\n";
        return false;
    }
    session.setUp = true;
    return true;
}

bool updateUI(minihost::Host &host, std::string &failure) {
    if (!(host.pipl.outFlags & PF_OutFlag_SEND_UPDATE_PARAMS_UI)) return true;
    const PF_Err err = minihost::updateParamsUI(host);
    if (err == PF_Err_NONE) return true;
    const std::string message = minihost::shownMessage(host);
    failure =
        "the parameter UI update failed with error " + std::to_string(err) + (message.empty() ? "" : ": " + message);
    return false;
}

}  // namespace pathbloom
