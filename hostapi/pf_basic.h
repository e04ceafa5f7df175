/* Basic scalar types, error codes, selectors and flags of the host's effect
 * interface, as the plug-in and the stand-in host both see them. Plain C. */
#ifndef HOSTAPI_PF_BASIC_H
#define HOSTAPI_PF_BASIC_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t A_long;
typedef uint32_t A_u_long;
typedef int16_t A_short;
typedef uint16_t A_u_short;
typedef char A_char;
typedef uint8_t A_u_char;
typedef uint8_t A_Boolean;
typedef int64_t A_longlong;
typedef uint64_t A_u_longlong;
typedef double A_FpLong;
typedef float A_FpShort;

typedef A_long PF_Err;
typedef A_long PF_Cmd;
typedef A_long PF_Fixed; /* 16.16 */
typedef A_u_char PF_Boolean;
typedef A_long PF_ParamIndex;
typedef A_long PF_ParamValue;
typedef A_u_long PF_PathID;
typedef A_long PF_Quality;
typedef A_long PF_ModeFlags;
typedef A_long PF_Field;
typedef A_long PF_TransferMode;
typedef A_long PF_ParamType;
typedef A_long PF_ParamFlags;
typedef A_long PF_ParamUIFlags;
typedef A_u_long PF_OutFlags;
typedef A_u_long PF_OutFlags2;
typedef A_long PF_InFlags;
typedef A_long PF_WorldFlags;
typedef A_u_long PF_PixelFormat;
typedef A_u_long PF_ChannelMask;

/* A host memory handle: a pointer to the host's master pointer. */
typedef void **PF_Handle;

/* The effect reference the host passes back in every callback. Opaque. */
typedef struct PF_ProgressInfo *PF_ProgPtr;

#define PF_MAX_EFFECT_NAME_LEN 31
#define PF_MAX_EFFECT_MSG_LEN 255
#define PF_MAX_PARAM_NAME_LEN 31
#define PF_MAX_PARAM_DESCRIPTION_LEN 31

#define PF_FOURCC(a, b, c, d) (((A_u_long)(a) << 24) | ((A_u_long)(b) << 16) | ((A_u_long)(c) << 8) | (A_u_long)(d))

/* Errors. */
enum {
    PF_Err_NONE = 0,
    PF_Err_OUT_OF_MEMORY = 4,
    PF_Err_INTERNAL_STRUCT_DAMAGED = 512,
    PF_Err_INVALID_INDEX = 513,
    PF_Err_UNRECOGNIZED_PARAM_TYPE = 514,
    PF_Err_INVALID_CALLBACK = 515,
    PF_Err_BAD_CALLBACK_PARAM = 516,
    PF_Interrupt_CANCEL = 517,
    PF_Err_CANNOT_PARSE_KEYFRAME_TEXT = 518
};

/* Command selectors. */
enum {
    PF_Cmd_ABOUT = 0,
    PF_Cmd_GLOBAL_SETUP = 1,
    PF_Cmd_UNUSED_0 = 2,
    PF_Cmd_GLOBAL_SETDOWN = 3,
    PF_Cmd_PARAMS_SETUP = 4,
    PF_Cmd_SEQUENCE_SETUP = 5,
    PF_Cmd_SEQUENCE_RESETUP = 6,
    PF_Cmd_SEQUENCE_FLATTEN = 7,
    PF_Cmd_SEQUENCE_SETDOWN = 8,
    PF_Cmd_DO_DIALOG = 9,
    PF_Cmd_FRAME_SETUP = 10,
    PF_Cmd_RENDER = 11,
    PF_Cmd_FRAME_SETDOWN = 12,
    PF_Cmd_USER_CHANGED_PARAM = 13,
    PF_Cmd_UPDATE_PARAMS_UI = 14,
    PF_Cmd_EVENT = 15,
    PF_Cmd_GET_EXTERNAL_DEPENDENCIES = 16,
    PF_Cmd_COMPLETELY_GENERAL = 17,
    PF_Cmd_QUERY_DYNAMIC_FLAGS = 18,
    PF_Cmd_AUDIO_RENDER = 19,
    PF_Cmd_AUDIO_SETUP = 20,
    PF_Cmd_AUDIO_SETDOWN = 21,
    PF_Cmd_ARBITRARY_CALLBACK = 22,
    PF_Cmd_SMART_PRE_RENDER = 23,
    PF_Cmd_SMART_RENDER = 24,
    PF_Cmd_RESERVED1 = 25,
    PF_Cmd_RESERVED2 = 26,
    PF_Cmd_RESERVED3 = 27,
    PF_Cmd_GET_FLATTENED_SEQUENCE_DATA = 28,
    PF_Cmd_TRANSLATE_PARAMS_TO_PREFS = 29,
    PF_Cmd_NUM_CMDS
};

/* Out-flags (PF_OutData.out_flags). */
enum {
    PF_OutFlag_NONE = 0,
    PF_OutFlag_KEEP_RESOURCE_OPEN = 1L << 0,
    PF_OutFlag_WIDE_TIME_INPUT = 1L << 1,
    PF_OutFlag_NON_PARAM_VARY = 1L << 2,
    PF_OutFlag_SEQUENCE_DATA_NEEDS_FLATTENING = 1L << 4,
    PF_OutFlag_I_DO_DIALOG = 1L << 5,
    PF_OutFlag_USE_OUTPUT_EXTENT = 1L << 6,
    PF_OutFlag_SEND_DO_DIALOG = 1L << 7,
    PF_OutFlag_DISPLAY_ERROR_MESSAGE = 1L << 8,
    PF_OutFlag_I_EXPAND_BUFFER = 1L << 9,
    PF_OutFlag_PIX_INDEPENDENT = 1L << 10,
    PF_OutFlag_I_WRITE_INPUT_BUFFER = 1L << 11,
    PF_OutFlag_I_SHRINK_BUFFER = 1L << 12,
    PF_OutFlag_WORKS_IN_PLACE = 1L << 13,
    PF_OutFlag_CUSTOM_UI = 1L << 15,
    PF_OutFlag_REFRESH_UI = 1L << 17,
    PF_OutFlag_NOP_RENDER = 1L << 18,
    PF_OutFlag_I_USE_SHUTTER_ANGLE = 1L << 19,
    PF_OutFlag_I_USE_AUDIO = 1L << 20,
    PF_OutFlag_FORCE_RERENDER = 1L << 22,
    PF_OutFlag_PiPL_OVERRIDES_OUTDATA_OUTFLAGS = 1L << 23,
    PF_OutFlag_I_HAVE_EXTERNAL_DEPENDENCIES = 1L << 24,
    PF_OutFlag_DEEP_COLOR_AWARE = 1L << 25,
    PF_OutFlag_SEND_UPDATE_PARAMS_UI = 1L << 26
};

/* Out-flags 2 (PF_OutData.out_flags2). */
enum {
    PF_OutFlag2_NONE = 0,
    PF_OutFlag2_SUPPORTS_QUERY_DYNAMIC_FLAGS = 1L << 0,
    PF_OutFlag2_I_USE_3D_CAMERA = 1L << 1,
    PF_OutFlag2_I_USE_3D_LIGHTS = 1L << 2,
    PF_OutFlag2_PARAM_GROUP_START_COLLAPSED_FLAG = 1L << 3,
    PF_OutFlag2_I_AM_THREADSAFE = 1L << 4,
    PF_OutFlag2_CAN_COMBINE_WITH_DESTINATION = 1L << 5,
    PF_OutFlag2_DOESNT_NEED_EMPTY_PIXELS = 1L << 6,
    PF_OutFlag2_REVEALS_ZERO_ALPHA = 1L << 7,
    PF_OutFlag2_PRESERVES_FULLY_OPAQUE_PIXELS = 1L << 8,
    PF_OutFlag2_SUPPORTS_SMART_RENDER = 1L << 10,
    PF_OutFlag2_FLOAT_COLOR_AWARE = 1L << 12,
    PF_OutFlag2_I_USE_COLORSPACE_ENUMERATION = 1L << 13
};

/* Pixel formats, as four-character codes. */
#define PF_PixelFormat_ARGB32 PF_FOURCC('a', 'r', 'g', 'b')
#define PF_PixelFormat_ARGB64 PF_FOURCC('a', 'e', '1', '6')
#define PF_PixelFormat_ARGB128 PF_FOURCC('a', 'e', '3', '2')
#define PF_PixelFormat_INVALID PF_FOURCC('b', 'a', 'd', 'f')

/* World flags (PF World Suite 1 new_world and PF_EffectWorld.world_flags). */
enum { PF_WorldFlag_DEEP = 1L << 0, PF_WorldFlag_WRITEABLE = 1L << 1 };
/* New-world flags of PF World Suite 1. */
enum { PF_NewWorldFlag_NONE = 0, PF_NewWorldFlag_CLEAR_PIXELS = 1L << 0, PF_NewWorldFlag_DEEP_PIXELS = 1L << 1 };

enum { PF_Quality_DRAWING_AUDIO = -1, PF_Quality_LO = 0, PF_Quality_HI = 1 };
enum { PF_MF_Alpha_PREMUL = 0, PF_MF_Alpha_STRAIGHT = 1L << 0 };
enum { PF_Field_FRAME = 0, PF_Field_UPPER = 1, PF_Field_LOWER = 2 };

/* Transfer modes used by the plug-in (values are the host's). */
enum {
    PF_Xfer_NONE = -1,
    PF_Xfer_COPY = 0,
    PF_Xfer_BEHIND = 1,
    PF_Xfer_IN_FRONT = 2,
    PF_Xfer_DISSOLVE = 3,
    PF_Xfer_ADD = 4,
    PF_Xfer_MULTIPLY = 5,
    PF_Xfer_SCREEN = 6,
    PF_Xfer_OVERLAY = 7,
    PF_Xfer_SOFT_LIGHT = 8,
    PF_Xfer_HARD_LIGHT = 9,
    PF_Xfer_DARKEN = 10,
    PF_Xfer_LIGHTEN = 11,
    PF_Xfer_DIFFERENCE = 12,
    PF_Xfer_HUE = 13,
    PF_Xfer_SATURATION = 14,
    PF_Xfer_COLOR = 15,
    PF_Xfer_LUMINOSITY = 16,
    PF_Xfer_COLOR_DODGE = 23,
    PF_Xfer_COLOR_BURN = 24,
    PF_Xfer_DIFFERENCE2 = 26,
    PF_Xfer_COLOR_DODGE2 = 27,
    PF_Xfer_COLOR_BURN2 = 28,
    PF_Xfer_LINEAR_DODGE = 29,
    PF_Xfer_LINEAR_BURN = 30,
    PF_Xfer_LINEAR_LIGHT = 31,
    PF_Xfer_VIVID_LIGHT = 32,
    PF_Xfer_PIN_LIGHT = 33,
    PF_Xfer_HARD_MIX = 34
};

/* Version packing of my_version: major, minor, bug, stage, build. */
enum { PF_Stage_DEVELOP = 0, PF_Stage_ALPHA = 1, PF_Stage_BETA = 2, PF_Stage_RELEASE = 3 };
#define PF_VERSION(vers, subvers, bugvers, stage, build)                            \
    (A_u_long)((((A_u_long)(vers)&0x7) << 19) | (((A_u_long)(subvers)&0xf) << 15) | \
               (((A_u_long)(bugvers)&0xf) << 11) | (((A_u_long)(stage)&0x3) << 9) | ((A_u_long)(build)&0x1ff))

typedef struct {
    A_short major;
    A_short minor;
} PF_SpecVersion;

typedef struct {
    A_long num;
    A_u_long den;
} PF_RationalScale;

typedef struct {
    A_long left, top, right, bottom;
} PF_Rect;

typedef PF_Rect PF_LRect;
typedef PF_Rect PF_UnionableRect;

typedef struct {
    A_long h, v;
} PF_Point;

/* Host parameter state: opaque, 16 bytes. */
typedef struct {
    A_u_long reserved[4];
} PF_State;

#ifdef __cplusplus
}
#endif

#endif
