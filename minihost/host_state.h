// What minihost keeps behind Host::internals: handles, worlds, suites, parameter
// checkouts and the state of the frame being rendered.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "minihost/host_internals.h"

// The records behind the AEGP effect and stream handles, which the host's
// interface leaves opaque. Each lives in Host::Internals from the call that
// hands it out to the one that takes it back; the handle is its address.
struct AEGP_EffectRef {
    // The host runs one effect instance, so the record only needs an address.
    char unused = 0;
};

struct AEGP_StreamRef {
    int paramIndex = 0;                       // 1..paramDefs.size() - 1
    int liveValues = 0;                       // values handed out and not yet disposed
    std::size_t readEntry = ~std::size_t{0};  // its tally in Internals::streamReads; all ones: none yet
};

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

// An image buffer owned by the host. `def` is the record handed out; the
// size the host allocated is kept apart, since the plug-in can write `def`.
struct World {
    PF_EffectWorld def{};
    Depth depth = Depth::Bits8;
    int width = 0, height = 0;  // pixels
    A_long rowbytes = 0;        // (width + worldRowPadding) * pixel size
    std::vector<unsigned char> storage;
    bool createdByPlugin = false;  // through a world suite; counted in the ledger
    bool kept = false;             // one of the host's own, handed out again: pixels of an earlier frame
    int suiteVersion = 0;          // the world suite version that made it (0: the host)
};

// A world kept for reuse, known to no one. Its pixels are poisoned for
// AddressSanitizer while kept, so that reads and writes through a stale
// record are caught as they would be in freed memory.
struct KeptWorldDelete {
    void operator()(World *world) const;
};
using KeptWorld = std::unique_ptr<World, KeptWorldDelete>;

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
    double hostCallMs = 0;   // spent in copy, fill, transfer_rect and new worlds, this frame
};

// AEGP_RegisterWithAEGP hands out plug-in ids from here on, one per call.
constexpr AEGP_PluginID firstPluginId = 0x7100;

struct Host::Internals {
    SPBasicSuite basicSuite{};
    PF_UtilCallbacks utils{};

    std::map<PF_Handle, std::unique_ptr<HandleBlock>> handles;
    std::map<const void *, std::unique_ptr<World>> worlds;  // keyed by the pixel address
    // The host's own worlds (outputs, layer pixels) of earlier frames, not
    // known to the plug-in, kept so that the next frame of the same size and
    // depth finds its buffers allocated and touched; oldest first. The
    // worlds the plug-in disposed of are kept apart for its next new worlds.
    std::vector<KeptWorld> spareWorlds, sparePluginWorlds;
    std::map<std::pair<std::string, A_long>, int> acquiredSuites;
    std::vector<ParamCheckout> paramCheckouts;
    FrameState frame;

    // Calls per host function name; the keys view the names' literals.
    std::unordered_map<std::string_view, long> callCounts;
    // The counters of recently called functions by the address of their
    // name's literal, so that a call made once per pixel (a sample) does not
    // hash its name; emptied whenever callCounts is.
    struct CounterSlot {
        const char *name = nullptr;
        long *count = nullptr;
    };
    std::array<CounterSlot, 8> counterSlots{};
    // The world knownWorld found last, so that a run of calls on one world
    // (a sample per pixel) skips the lookup; destroyWorld forgets it.
    mutable const World *lastWorld = nullptr;
    long handleAllocations = 0;
    AEGP_PluginID nextPluginId = firstPluginId;
    std::vector<std::string> registeredPlugins;

    std::map<AEGP_EffectRefH, std::unique_ptr<AEGP_EffectRef>> effects;
    std::map<AEGP_StreamRefH, std::unique_ptr<AEGP_StreamRef>> streams;
    // One tally per stream obtained since the frame began (renderFrame takes them).
    std::vector<StreamRead> streamReads;
};

// Adds the wall time of its scope to `total`, in milliseconds.
struct ScopeClock {
    double &total;
    std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
    ~ScopeClock() {
        total += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
    }
};

// countCall's rare parts, out of line so that the per-pixel callers stay
// small (host.cpp): the counter of `function`, and the fault injected into
// call number `count` of it with its log entry.
long *callCounter(Host &host, const char *function);
PF_Err faultOrLog(Host &host, const char *function, const std::string *detail, long count);

// What every host function does first (enterCall): counts the call, returns
// the error fault injection asks this call to fail with, and logs it when the
// host logs calls; `detail` is null for calls that log none. Inline: the
// samplers run it once per pixel.
inline PF_Err countCall(Host &host, const char *function, const std::string *detail) {
    Host::Internals &internals = *host.internals;
    Host::Internals::CounterSlot &slot =
        internals.counterSlots[(reinterpret_cast<std::uintptr_t>(function) >> 3) % internals.counterSlots.size()];
    if (slot.name != function) slot = {function, callCounter(host, function)};
    const long count = ++*slot.count;
    if (host.faults.failCall.empty() && !host.logCalls) return PF_Err_NONE;
    return faultOrLog(host, function, detail, count);
}

// Pixel address of (x, y) in a world.
inline unsigned char *pixelAddress(const PF_EffectWorld &world, int x, int y, int bytesPerPixel) {
    return reinterpret_cast<unsigned char *>(world.data) + static_cast<std::ptrdiff_t>(y) * world.rowbytes +
           static_cast<std::ptrdiff_t>(x) * bytesPerPixel;
}

// Worlds of the host (world.cpp). Pixels of a new world are the "unwritten"
// pattern (opaque magenta) unless cleared; row padding holds garbage bytes.
// createWorld makes one afresh (the world suites).
World &createWorld(Host &host, int width, int height, Depth depth, bool clear);
// The host's own worlds (outputs, layer pixels) come from hostWorld, which
// takes a spare world of the same size and depth when there is one, and go
// back through destroyWorld, which keeps them as spares. `Overwritten`: the
// caller writes every pixel before anyone reads one, so the pattern is not
// written.
enum class HostWorldPixels { Unwritten, Overwritten };
World &hostWorld(Host &host, int width, int height, Depth depth, HostWorldPixels pixels);
World *findWorld(const Host &host, const void *pixels);
// findWorld, remembered as the last world found (world.cpp).
const World *rememberWorld(const Host &host, const void *pixels);
// The host's world behind a record the plug-in passes, when the record still
// fits it: a record claiming more rows or columns or other rowbytes than the
// host allocated would lead to reading or writing past its pixels. Null for
// a null record, a world the host does not know, or one that does not fit.
// Inline, and the last world found kept: the samplers ask once per pixel.
inline const World *knownWorld(const Host &host, const PF_EffectWorld *world) {
    if (!world) return nullptr;
    const World *known = host.internals->lastWorld;
    if (!known || known->storage.data() != static_cast<const void *>(world->data))
        known = rememberWorld(host, world->data);
    if (!known) return nullptr;
    const bool fits = world->width >= 0 && world->height >= 0 && world->width <= known->width &&
                      world->height <= known->height && world->rowbytes == known->rowbytes;
    return fits ? known : nullptr;
}
void destroyWorld(Host &host, World &world);
// The pixels of a world into `image`, reusing its buffer when it has the size.
void copyWorldInto(const World &world, Image &image);

// Row `row` of `image`, every `stepX`-th pixel from the first, converted to
// `depth` as convertImage does, into the `width` pixels at `out` (image.cpp).
void convertRow(const Image &image, int row, int stepX, Depth depth, int width, unsigned char *out);

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

// The definition of parameter `index` holding `value` in its type's own
// representation, as a checkout hands it out (params.cpp).
PF_ParamDef defWithValue(const Host &host, int index, const ParamValue &value);

// The stream tallies of the frame so far; streams still live start a new
// tally when next read (aegp_suites.cpp).
std::vector<StreamRead> takeStreamReads(Host &host);

// The layer a LAYER parameter value names (PF_LayerDefault_MYSELF: the
// input); null for no layer (0, or a number with no layer behind it).
const Image *layerSource(const Host &host, double layerNumber);
// Its size at the command's resolution (interact_callbacks.cpp).
void layerSize(const Host &host, const Image &layer, int &width, int &height);
// A host world holding the layer at the command's depth and resolution.
World &layerWorld(Host &host, const Image &layer);

// Fixed-point conversion of a real: rounded half away from zero, pinned to
// what 16.16 holds (-32768..32767.99998); NaN gives 0.
PF_Fixed fixedFromDouble(double value);

}  // namespace minihost
