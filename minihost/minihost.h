// minihost: a small compositing host that loads the effect library, reads its
// property list and drives it with the host's commands. Tests, benchmarks and
// the pathbloom command all go through this header.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "hostapi/hostapi.h"

namespace minihost {

// ---------------------------------------------------------------------------
// Property list

struct PiplInfo {
    std::string kind;            // "eFKT"
    std::string name;            // "VomrelPathBloom"
    std::string category;        // "Vomrel"
    std::string matchName;       // "VomrelPathBloom by Orbenvail"
    std::string entryPointKey;   // "8664" or "wx86"
    std::string entryPointName;  // "EntryPointFunc"
    uint16_t piplVersionMajor = 0, piplVersionMinor = 0;
    uint16_t specVersionMajor = 0, specVersionMinor = 0;
    uint32_t effectVersion = 0;
    uint32_t infoFlags = 0;
    uint32_t outFlags = 0;
    uint32_t outFlags2 = 0;
    uint32_t aeFlags = 0;
};

// Parses and validates property-list bytes. On a fault returns false and
// says what is wrong in `error`.
bool parsePipl(const std::vector<uint8_t> &bytes, PiplInfo &info, std::string &error);

// Reads a plug-in file's property list without running any of its code:
// the PiPL resource 16000 of a Windows library, the ".pipl" file beside a
// Linux library.
bool readPluginPipl(const std::string &pluginPath, std::vector<uint8_t> &bytes, std::string &error);

// The plug-in file built beside the running executable (or in its
// "plugin" sibling folder), as the build lays it out.
std::string defaultPluginPath();

// ---------------------------------------------------------------------------
// Images, layers and masks

enum class Depth { Bits8 = 8, Bits16 = 16, Float = 32 };

int bytesPerPixel(Depth depth);
PF_PixelFormat pixelFormatOf(Depth depth);

// Pixels packed row after row, no padding; channels alpha, red, green, blue,
// straight colour, 16-bit channels 0..32768.
struct Image {
    int width = 0;
    int height = 0;
    Depth depth = Depth::Bits8;
    std::vector<uint8_t> data;
};

Image makeImage(int width, int height, Depth depth);
Image solidImage(int width, int height, PF_Pixel color, Depth depth);
// Converts channel by channel: 8->16 as (c * 32768 + 128) / 255, 8->float c / 255,
// 16->8 and float->8 rounded to nearest, float->16 rounded to nearest; deep
// values beyond the range held at its ends, a float NaN 0.
Image convertImage(const Image &image, Depth depth);
// Downsampled copy: every x-th column and y-th row, size rounded up.
Image downsampleImage(const Image &image, int x, int y);

// One mask vertex; tangents are offsets from the vertex.
struct MaskVertex {
    double x = 0, y = 0;
    double inX = 0, inY = 0;
    double outX = 0, outY = 0;
};

// ---------------------------------------------------------------------------
// Parameters over time

// Between two keyframes at times a and b, with t = (time - a) / (b - a) in
// 0..1: Linear mixes by t, Ease by the smoothstep t * t * (3 - 2t) (slow out
// of a and into b), Hold keeps a's value until b. Numbers and colour
// channels alike; popups, checkboxes, paths and layers always hold.
enum class Interpolation { Linear, Hold, Ease };

// A parameter value in user units: integer sliders, popups (1-based),
// checkboxes (0/1) and "Path" (mask number, 0 none) and "Layer" (layer
// number, 0 none) as numbers; fixed sliders in percent; float sliders as
// they are; angles in degrees. Colours in `color`.
struct ParamValue {
    double number = 0;
    PF_Pixel color = {0, 0, 0, 0};
};

struct Keyframe {
    double seconds = 0;
    ParamValue value;
    // With Interpolation::Ease: how far the key's handles reach into the
    // interval before it (easeIn) and after it (easeOut), as a fraction of
    // that interval, 0.001..1. A third each is the smoothstep 3t^2 - 2t^3.
    double easeIn = 1.0 / 3, easeOut = 1.0 / 3;
};

struct ParamTrack {
    ParamValue value;                 // used when there are no keyframes
    std::vector<Keyframe> keyframes;  // sorted by time
    Interpolation interpolation = Interpolation::Linear;
};

// A keyframed mask shape: every key has as many vertices as the mask.
struct MaskKey {
    double seconds = 0;
    std::vector<MaskVertex> vertices;
    double easeIn = 1.0 / 3, easeOut = 1.0 / 3;  // as Keyframe's
};

// A mask on the effect's layer. With keys, its shape at a time mixes every
// vertex and tangent coordinate between the keys around it as a number
// parameter's value mixes (Linear, Ease or Hold); `vertices` is then unused.
struct Mask {
    bool closed = true;
    std::vector<MaskVertex> vertices;
    std::vector<MaskKey> keys;  // sorted by time
    Interpolation interpolation = Interpolation::Linear;
};

// The mask's vertices at a time in seconds.
std::vector<MaskVertex> maskVerticesAt(const Mask &mask, double seconds);

// ---------------------------------------------------------------------------
// Fault injection, ledger and call log

struct Faults {
    std::set<std::string> missingSuites;                     // suite names refused by AcquireSuite
    std::map<std::string, std::pair<int, PF_Err>> failCall;  // host function -> (n-th call, 1-based; error)
    int failHandleAllocation = 0;                            // n-th host_new_handle returns null (0: never)
};

// What the plug-in holds at this moment. After a finished command every
// count but `handles` (the host keeps global and sequence data) must be zero.
struct Ledger {
    int suites = 0;           // acquired and not yet released
    int handles = 0;          // allocated and not yet disposed
    int lockedHandles = 0;    // lock count sum over live handles
    int worlds = 0;           // created by the plug-in and not yet disposed
    int checkouts = 0;        // parameter, layer, pixel and path checkouts not checked in
    int preRenderBlocks = 0;  // pre-render data not yet deleted
    int effects = 0;          // AEGP effect references obtained and not yet disposed
    int streams = 0;          // AEGP streams obtained and not yet disposed
    int streamValues = 0;     // AEGP stream and keyframe values obtained and not yet disposed
    int invalidCalls = 0;     // calls naming a handle, world, suite or checkout the host does not know
};

struct CallRecord {
    std::string function;  // host function name, e.g. "AcquireSuite", "host_new_handle"
    std::string detail;    // arguments worth seeing, e.g. suite name and version
    PF_Err result = PF_Err_NONE;
};

// ---------------------------------------------------------------------------
// The host

struct World;        // a host-owned image buffer handed to the plug-in
struct HandleBlock;  // a host memory handle

struct Host {
    // The library.
    std::string pluginPath;
    void *library = nullptr;
    PF_EntryPointFunc entry = nullptr;
    PiplInfo pipl;

    // The registered parameters (index 0 is the input layer) and their values.
    // A definition's ui_flags are those the plug-in last set through
    // PF_UpdateParamUI, the registered ones until then.
    std::vector<PF_ParamDef> paramDefs;
    std::vector<ParamTrack> params;

    // The layer the effect is applied to, other layers (1-based in "Layer"),
    // and the masks on the effect's layer (1-based in "Path").
    Image input;
    std::vector<Image> layers;
    std::vector<Mask> masks;

    // Time and resolution of the next command.
    // Frames per second; the time scale, fps * 1000 ticks per second, is
    // pinned to 1..2^31-1 and times past 32 bits to the field's range.
    double fps = 30;
    int frame = 0;
    int downsampleX = 1, downsampleY = 1;
    Depth depth = Depth::Bits8;

    // Data the host keeps for the plug-in between commands.
    PF_Handle globalData = nullptr;
    PF_Handle sequenceData = nullptr;

    // The records of the last command.
    PF_InData inData{};
    PF_OutData outData{};

    Faults faults;
    Ledger ledger;
    std::vector<CallRecord> calls;
    bool logCalls = false;

    // Progress: the plug-in's last report, and cancellation on request.
    long progressCurrent = 0, progressTotal = 0;
    long progressCalls = 0;
    int cancelAtProgress = 0;  // n-th progress call returns PF_Interrupt_CANCEL (0: never)
    void (*onProgress)(void *context, long current, long total) = nullptr;
    void *progressContext = nullptr;

    // Internal state of the implementation.
    struct Internals;
    std::unique_ptr<Internals> internals;

    Host();
    ~Host();
    Host(const Host &) = delete;
    Host &operator=(const Host &) = delete;
};

// Loads the library at `path`: reads and validates its property list, then
// finds the entry point by the name the list gives. False with a message on
// any fault.
bool openPlugin(Host &host, const std::string &path, std::string &error);
void closePlugin(Host &host);

// Sends one command with fresh records built from the host's state. `params`
// and `extra` are passed as given; use the helpers below for the usual ones.
PF_Err sendCommand(Host &host, PF_Cmd cmd, PF_ParamDef **params = nullptr, PF_LayerDef *output = nullptr,
                   void *extra = nullptr);

// The host's usual sequence: about, global setup, parameter setup, sequence
// setup. Stops at the first error.
PF_Err runAbout(Host &host, std::string &text);
PF_Err setupEffect(Host &host);
// Sequence setdown and global setdown.
PF_Err teardownEffect(Host &host);

// The host's user-interface commands, each with `params` holding every
// parameter's definition at the current time (layers without pixels) and the
// host's global and sequence data. A plug-in that installs new sequence data
// in PF_OutData hands it to the host and disposes of the old data itself. A
// host sends PF_Cmd_UPDATE_PARAMS_UI (after parameters change, or a project
// opens) only to a plug-in whose out flags carry
// PF_OutFlag_SEND_UPDATE_PARAMS_UI, and PF_Cmd_USER_CHANGED_PARAM only for
// parameters registered with PF_ParamFlag_SUPERVISE; minihost leaves both
// conditions to its caller. userChangedParam sends nothing and returns
// PF_Err_INVALID_INDEX for an index outside 1..63.
PF_Err updateParamsUI(Host &host);
PF_Err userChangedParam(Host &host, int index);

// return_msg of the last command when the plug-in asked the host to show it
// (PF_OutFlag_DISPLAY_ERROR_MESSAGE); empty otherwise.
std::string shownMessage(const Host &host);

// Parameter access by index or by registered name; indices are 1..63.
int paramIndex(const Host &host, const std::string &name);  // -1 when unknown
void setParam(Host &host, int index, ParamValue value);
void setParamKeyframes(Host &host, int index, std::vector<Keyframe> keys, Interpolation interp);
ParamValue paramValueAt(const Host &host, int index, double seconds);
// The eased share of the way from one key to the next at time share t
// (0..1): a cubic Bezier from (0, 0) to (1, 1) in (time, value) whose
// handles are flat in value (speed 0 at both keys) and reach `out` (the first
// key's easeOut) and `in` (the second's easeIn) of the interval.
double easedFraction(double t, double out, double in);
// The definition that PF_CHECKOUT_PARAM hands out at a time.
PF_ParamDef paramDefAt(const Host &host, int index, double seconds);
// Whether a control panel shows parameter `index` greyed out: PF_PUI_DISABLED
// in its UI flags. False for an index the host does not have.
bool paramDisabled(const Host &host, int index);

// Host time of the current frame.
A_long currentTime(const Host &host);
A_u_long timeScale(const Host &host);
A_long timeStep(const Host &host);

// What the plug-in read through one AEGP stream during a frame: the
// parameter, its keyframe count and the stream and keyframe values obtained.
struct StreamRead {
    int paramIndex = 0;
    long keyframes = 0;
    long valuesRead = 0;
};

// Renders the current frame: smart pre-render, then smart render, then the
// pre-render data's deletion. `output` receives the frame at the host's depth
// (at the downsampled size). `drawn` and `placed` are not known to the host.
// Like a compositing host, the Host keeps the worlds it hands out (the
// output, the layers' pixels) from frame to frame and gives them out again
// for a frame of the same size and depth; each still holds what a fresh one
// would: the layer's pixels, or the unwritten pattern in the output.
struct RenderResult {
    PF_Err preRenderError = PF_Err_NONE;
    PF_Err renderError = PF_Err_NONE;
    Image output;
    std::string message;  // return_msg when the plug-in asked to show it
    // Wall time inside the plug-in's pre-render and render commands, for
    // benchmarks: host callbacks made from them included, but not the
    // host's copying of layers into the worlds it hands out (a host that
    // keeps its layers as worlds does not copy), nor the output world's
    // set-up before and the copy into `output` after.
    double pluginMilliseconds = 0;
    // Of that, the wall time inside the host's copy, fill, transfer_rect and
    // new-world calls: the frame-sized passes a host makes for the plug-in.
    double hostCallMilliseconds = 0;
    // One entry per stream obtained during the frame, in the order obtained.
    std::vector<StreamRead> streamReads;
};
RenderResult renderFrame(Host &host);
// The same into `result`, whose output buffer is reused when it already has
// the frame's size (a caller rendering frame after frame keeps one result);
// every other field is the new frame's.
void renderFrame(Host &host, RenderResult &result);

// Starts afresh: zeroes the ledger, the call log, the per-function call
// counts (which fault injection counts against) and the progress counters.
// Counts after the reset are relative: releasing something acquired before it
// makes a count negative.
void resetLedger(Host &host);
// What the ledger holds besides handles (which live on between commands), in
// words: "2 worlds, 1 checkout outstanding; 1 invalid call". Empty when
// nothing is held and no call was invalid.
std::string outstanding(const Ledger &ledger);

// Calls of a host function since the host was made or the ledger reset.
long callCount(const Host &host, const std::string &function);

// printf-style text of `args`, whatever its length: the host's sprintf and
// the pathbloom command both format through this. False when the C library
// cannot format it (an encoding error).
bool formatText(const char *format, va_list args, std::string &text);

}  // namespace minihost
