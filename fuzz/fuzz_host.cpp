// The fuzz harnesses' plug-in and ledger check.
#include "fuzz/fuzz_host.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

namespace pathbloom::fuzz {

const std::string &pluginPath() {
    static const std::string path = [] {
        const char *fromEnvironment = std::getenv("PATHBLOOM_FUZZ_PLUGIN");
        std::string chosen = fromEnvironment && *fromEnvironment ? fromEnvironment : PATHBLOOM_FUZZ_PLUGIN;
        if (!dlopen(chosen.c_str(), RTLD_NOW | RTLD_NODELETE)) {
            std::fprintf(stderr, "fuzz: cannot load %s: %s\n", chosen.c_str(), dlerror());
            std::exit(1);
        }
        return chosen;
    }();
    return path;
}

void startEffect(minihost::Host &host) {
    std::string error;
    if (!minihost::openPlugin(host, pluginPath(), error)) {
        std::fprintf(stderr, "fuzz: %s\n", error.c_str());
        std::exit(1);
    }
    const PF_Err err = minihost::setupEffect(host);
    if (err != PF_Err_NONE) {
        std::fprintf(stderr, "fuzz: setting up the effect failed with error %d\n", int(err));
        std::exit(1);
    }
    requireClearLedger(host, "the effect's set-up");
}

void stopEffect(minihost::Host &host) {
    minihost::teardownEffect(host);
    requireClearLedger(host, "the effect's teardown");
    minihost::closePlugin(host);
}

void requireClearLedger(const minihost::Host &host, const char *after) {
    const std::string held = minihost::outstanding(host.ledger);
    if (held.empty()) return;
    std::fprintf(stderr, "fuzz: after %s the plug-in left %s\n", after, held.c_str());
    __builtin_trap();
}

}  // namespace pathbloom::fuzz
