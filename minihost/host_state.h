// What minihost keeps behind Host::internals: handles, worlds, suites, parameter
// checkouts and the state of the frame being rendered.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "minihost/host_internals.h"

namespace minihost {

// A host memory handle: the plug-in holds the address of `master`.
struct HandleBlock {
    void *master = nullptr;
    std::unique_ptr<unsigned char[]> memory;
    std::size_t size = 0;
    int locks = 0;
};

// Row padding of every world the host makes, in pixels, so that code that
// assumes rowbytes == width * pixel size reads the wrong pixels.
constexpr int worldRowPadding = 3;

// An image buffer owned by the host.
struct World {
    PF_EffectWorld def{};
    Depth depth = Depth::Bits8;
    std::vector<unsigned char> storage;
    bool createdByPlugin = false;  // through a world suite; counted in the ledger
    int suiteVersion = 0;          // the world suite version that made it (0: the host)
};

// A parameter checked out through PF_CHECKOUT_PARAM and not yet checked in.
struct ParamCheckout {
    int index = 0;
    A_long id = 0;           // the definition's uu.id, which check-in matches
    World *layer = nullptr;  // the layer world handed out with a LAYER parameter
};

// State of one renderFrame: layers requested at pre-render and the worlds
// handed out at render.
struct FrameState {
    std::map<A_long, double> layerRequests;  // checkout id -> layer number (-1: the input layer)
    std::map<A_long, World *> layerPixels;   // checkout id -> world handed out
    World *output = nullptr;
    double layerCopyMs = 0;  // spent preparing layer pixels for the plug-in, this frame
};

struct Host::Internals {
    SPBasicSuite basicSuite{};
    PF_UtilCallbacks utils{};

    std::map<PF_Handle, std::unique_ptr<HandleBlock>> handles;
    std::map<const void *, std::unique_ptr<World>> worlds;  // keyed by the pixel address
    std::map<std::pair<std::string, A_long>, int> acquiredSuites;
    std::vector<ParamCheckout> paramCheckouts;
    FrameState frame;

    // Calls per host function name; the keys view the names' literals.
    std::unordered_map<std::string_view, long> callCounts;
    long handleAllocations = 0;
    AEGP_PluginID nextPluginId = 0x7100;
    std::vector<std::string> registeredPlugins;
};

// Pixel address of (x, y) in a world.
inline unsigned char *pixelAddress(const PF_EffectWorld &world, int x, int y, int bytesPerPixel) {
    return reinterpret_cast<unsigned char *>(world.data) + static_cast<std::ptrdiff_t>(y) * world.rowbytes +
           static_cast<std::ptrdiff_t>(x) * bytesPerPixel;
}

// Worlds of the host (world.cpp). Pixels of a new world are the "unwritten"
// pattern (opaque magenta) unless cleared; row padding holds garbage bytes.
World &createWorld(Host &host, int width, int height, Depth depth, bool clear);
World *findWorld(const Host &host, const void *pixels);
void destroyWorld(Host &host, World &world);
World &worldFromImage(Host &host, const Image &image);
Image imageFromWorld(const World &world);

// Parameter checkouts (interact_callbacks.cpp) and the frame's worlds
// (smart_callbacks.cpp) that the host takes back.
void releaseFrame(Host &host);
World &frameOutput(Host &host);
void releaseParamCheckouts(Host &host);

// Callback tables (interact_callbacks.cpp, util_callbacks.cpp,
// basic_suite.cpp, smart_callbacks.cpp).
PF_InteractCallbacks interactCallbacks();
PF_UtilCallbacks utilCallbacks();
SPBasicSuite basicSuiteTable();
PF_PreRenderCallbacks preRenderCallbacks();
PF_SmartRenderCallbacks smartRenderCallbacks();

// Handle functions shared by the utility callbacks and "PF Handle Suite".
PF_Handle hostNewHandle(A_u_longlong size);
void *hostLockHandle(PF_Handle handle);
void hostUnlockHandle(PF_Handle handle);
void hostDisposeHandle(PF_Handle handle);
A_u_longlong hostGetHandleSize(PF_Handle handle);
bool handleIsLive(const Host &host, PF_Handle handle);
void releaseAllHandles(Host &host);

// Math and string functions shared by the utility callbacks and "PF ANSI Suite".
const PF_ANSICallbacks &ansiCallbacks();

// A registered definition's default in user units (params.cpp).
ParamValue defaultValueOf(const PF_ParamDef &def);

// The layer a LAYER parameter value names, at the command's depth and
// resolution; false for no layer (0, or a number with no layer behind it).
bool layerImageFor(const Host &host, double layerNumber, Image &image);

// Fixed-point conversion of a real: rounded half away from zero, pinned to
// what 16.16 holds (-32768..32767.99998); NaN gives 0.
PF_Fixed fixedFromDouble(double value);

}  // namespace minihost
