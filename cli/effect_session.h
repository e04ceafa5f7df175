// One effect instance of the pathbloom command, driven through minihost as a
// host drives it: the plug-in opened and set up, a scene's parameters set and
// the plug-in's parameter UI brought up to date.
#pragma once

#include <ostream>
#include <string>

#include "minihost/minihost.h"

namespace pathbloom {

// Tears the effect down and closes the library in one place whatever the
// way out.
struct EffectSession {
    minihost::Host host;
    bool setUp = false;
    EffectSession() = default;
    EffectSession(const EffectSession &) = delete;
    EffectSession &operator=(const EffectSession &) = delete;
    ~EffectSession();
};

// Opens the plug-in at `pluginPath` (empty: the one built beside the
// executable) and sets the effect up. False after saying why on `err`.
bool startEffect(EffectSession &session, const std::string &pluginPath, std::ostream &err);

// Sends PF_Cmd_UPDATE_PARAMS_UI, as a host does once parameters are set, to a
// plug-in whose property list asks for it (PF_OutFlag_SEND_UPDATE_PARAMS_UI);
// the plug-in then greys out what the values make it ignore. False on an
// error, with `failure` saying so in one line: "the parameter UI update
// failed with error 512: ERROR" (the plug-in's message when it shows one).
bool updateUI(minihost::Host &host, std::string &failure);

}  // namespace pathbloom
