/* The "PF ..." suites the plug-in acquires from the basic suite: their exact
 * names, versions and function tables. Plain C. */
#ifndef HOSTAPI_PF_SUITES_H
#define HOSTAPI_PF_SUITES_H

#include "pf_effect.h"

#ifdef __cplusplus
extern "C" {
#endif

#define kPFHandleSuite "PF Handle Suite"
#define kPFHandleSuiteVersion1 1
#define kPFHandleSuiteVersion2 2

/* Versions 1 and 2 share one table. */
typedef struct {
    PF_Handle (*host_new_handle)(A_u_longlong size);
    void *(*host_lock_handle)(PF_Handle pf_handle);
    void (*host_unlock_handle)(PF_Handle pf_handle);
    void (*host_dispose_handle)(PF_Handle pf_handle);
    A_u_longlong (*host_get_handle_size)(PF_Handle pf_handle);
    PF_Err (*host_resize_handle)(A_u_longlong new_sizeL, PF_Handle *handlePH);
} PF_HandleSuite1;
typedef PF_HandleSuite1 PF_HandleSuite2;

#define kPFANSISuite "PF ANSI Suite"
#define kPFANSISuiteVersion1 1
typedef PF_ANSICallbacks PF_ANSICallbacksSuite1;

#define kPFWorldSuite "PF World Suite"
#define kPFWorldSuiteVersion1 1
#define kPFWorldSuiteVersion2 2

typedef struct {
    PF_Err (*new_world)(PF_ProgPtr effect_ref, A_long width, A_long height, A_long flags, PF_EffectWorld *world);
    PF_Err (*dispose_world)(PF_ProgPtr effect_ref, PF_EffectWorld *world);
} PF_WorldSuite1;

typedef struct {
    PF_Err (*PF_NewWorld)(PF_ProgPtr effect_ref, A_long widthL, A_long heightL, PF_Boolean clear_pixB,
                          PF_PixelFormat pixel_format, PF_EffectWorld *world);
    PF_Err (*PF_DisposeWorld)(PF_ProgPtr effect_ref, PF_EffectWorld *world);
    PF_Err (*PF_GetPixelFormat)(const PF_EffectWorld *world, PF_PixelFormat *pixel_format);
} PF_WorldSuite2;

#define kPFPathQuerySuite "PF Path Query Suite"
#define kPFPathQuerySuiteVersion1 1
#define kPFPathDataSuite "PF Path Data Suite"
#define kPFPathDataSuiteVersion1 1

typedef struct PF_PathOutline *PF_PathOutlinePtr;
typedef struct PF_PathSegPrep *PF_PathSegPrepPtr;

/* A mask vertex and its Bézier tangents, tangents relative to the vertex. */
typedef struct {
    A_FpLong x, y;
    A_FpLong tan_in_x, tan_in_y;
    A_FpLong tan_out_x, tan_out_y;
} PF_PathVertex;

typedef struct {
    PF_Err (*PF_NumPaths)(PF_ProgPtr effect_ref, A_long *num_pathsPL);
    PF_Err (*PF_PathInfo)(PF_ProgPtr effect_ref, A_long indexL, PF_PathID *unique_idP);
    PF_Err (*PF_CheckoutPath)(PF_ProgPtr effect_ref, PF_PathID unique_id, A_long what_time, A_long time_step,
                              A_u_long time_scale, PF_PathOutlinePtr *pathPP);
    PF_Err (*PF_CheckinPath)(PF_ProgPtr effect_ref, PF_PathID unique_id, PF_Boolean changedB, PF_PathOutlinePtr pathP);
} PF_PathQuerySuite1;

typedef struct {
    PF_Err (*PF_PathIsOpen)(PF_ProgPtr effect_ref, PF_PathOutlinePtr pathP, PF_Boolean *openPB);
    PF_Err (*PF_PathNumSegments)(PF_ProgPtr effect_ref, PF_PathOutlinePtr pathP, A_long *num_segmentsPL);
    PF_Err (*PF_PathVertexInfo)(PF_ProgPtr effect_ref, PF_PathOutlinePtr pathP, A_long which_pointL,
                                PF_PathVertex *vertexP);
    PF_Err (*PF_PathPrepareSegLength)(PF_ProgPtr effect_ref, PF_PathOutlinePtr pathP, A_long which_segL,
                                      A_long frequencyL, PF_PathSegPrepPtr *lengthPrepPP);
    PF_Err (*PF_PathGetSegLength)(PF_ProgPtr effect_ref, PF_PathOutlinePtr pathP, A_long which_segL,
                                  PF_PathSegPrepPtr *lengthPrepP0, A_FpLong *lengthPF);
    PF_Err (*PF_PathEvalSegLength)(PF_ProgPtr effect_ref, PF_PathOutlinePtr pathP, PF_PathSegPrepPtr *lengthPrepPP0,
                                   A_long which_segL, A_FpLong lengthF, A_FpLong *x, A_FpLong *y);
    PF_Err (*PF_PathEvalSegLengthDeriv1)(PF_ProgPtr effect_ref, PF_PathOutlinePtr pathP,
                                         PF_PathSegPrepPtr *lengthPrepPP0, A_long which_segL, A_FpLong lengthF,
                                         A_FpLong *x, A_FpLong *y, A_FpLong *deriv1x, A_FpLong *deriv1y);
    PF_Err (*PF_PathCleanupSegLength)(PF_ProgPtr effect_ref, PF_PathOutlinePtr pathP, A_long which_segL,
                                      PF_PathSegPrepPtr *lengthPrepPP);
    PF_Err (*PF_PathIsInverted)(PF_ProgPtr effect_ref, PF_PathID unique_id, PF_Boolean *invertedB);
} PF_PathDataSuite1;

#define kPFColorCallbacksFloatSuite "PF ColorFloat Suite"
#define kPFColorCallbacksFloatSuiteVersion1 1

typedef struct {
    PF_Err (*RGBtoHLS)(PF_ProgPtr effect_ref, PF_PixelFloat *rgb, PF_HLS_Pixel hls);
    PF_Err (*HLStoRGB)(PF_ProgPtr effect_ref, PF_HLS_Pixel hls, PF_PixelFloat *rgb);
    PF_Err (*Luminance)(PF_ProgPtr effect_ref, PF_PixelFloat *rgb, A_FpShort *lum100);
} PF_ColorCallbacksFloatSuite1;

#define kPFFillMatteSuite "PF Fill Matte Suite"
#define kPFFillMatteSuiteVersion2 2

/* A null rectangle fills the whole world. */
typedef struct {
    PF_Err (*fill)(PF_ProgPtr effect_ref, const PF_Pixel *color, const PF_Rect *dst_rect, PF_EffectWorld *world);
    PF_Err (*fill16)(PF_ProgPtr effect_ref, const PF_Pixel16 *color, const PF_Rect *dst_rect, PF_EffectWorld *world);
    PF_Err (*fill_float)(PF_ProgPtr effect_ref, const PF_PixelFloat *color, const PF_Rect *dst_rect,
                         PF_EffectWorld *world);
} PF_FillMatteSuite2;

#define kPFSampling8Suite "PF Sampling8 Suite"
#define kPFSampling16Suite "PF Sampling16 Suite"
#define kPFSamplingFloatSuite "PF SamplingFloat Suite"
#define kPFSamplingSuiteVersion1 1

/* Sampling parameters: the source and the area radius, both radii 16.16. */
typedef struct {
    PF_Fixed x_radius;
    PF_Fixed y_radius;
    PF_Fixed area;
    PF_EffectWorld *src;
    A_long samp_behave;
    A_long reserved[4];
} PF_SampPB;

/* Coordinates are 16.16 pixels; a sample outside the world is transparent.
 * The three suites differ only in pixel type and in their members' names:
 * nearest-neighbour, subpixel (bilinear) and area sample, in that order. */
#define PF_SAMPLING_SUITE1(Pixel, nn_name, subpixel_name, area_name)                                                   \
    struct {                                                                                                           \
        PF_Err (*nn_name)(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y, const PF_SampPB *params, Pixel *dst_pixel);   \
        PF_Err (*subpixel_name)(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y, const PF_SampPB *params,                \
                                Pixel *dst_pixel);                                                                     \
        PF_Err (*area_name)(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y, const PF_SampPB *params, Pixel *dst_pixel); \
    }

typedef PF_SAMPLING_SUITE1(PF_Pixel, nn_sample, subpixel_sample, area_sample) PF_Sampling8Suite1;
typedef PF_SAMPLING_SUITE1(PF_Pixel16, nn_sample16, subpixel_sample16, area_sample16) PF_Sampling16Suite1;
typedef PF_SAMPLING_SUITE1(PF_PixelFloat, nn_sample_float, subpixel_sample_float,
                           area_sample_float) PF_SamplingFloatSuite1;

#define kPFParamUtilsSuite "PF Param Utils Suite"
#define kPFParamUtilsSuiteVersion1 1
#define kPFParamUtilsSuiteVersion2 2

/* Versions 1 and 2 share one table. */
typedef struct {
    PF_Err (*PF_UpdateParamUI)(PF_ProgPtr effect_ref, PF_ParamIndex param_index, const PF_ParamDef *defP);
    PF_Err (*PF_GetCurrentState)(PF_ProgPtr effect_ref, PF_ParamIndex param_index, PF_State *stateP);
    PF_Err (*PF_HasParamChanged)(PF_ProgPtr effect_ref, const PF_State *stateP, PF_ParamIndex param_index,
                                 PF_Boolean *changedPB);
} PF_ParamUtilsSuite1;
typedef PF_ParamUtilsSuite1 PF_ParamUtilsSuite2;

#ifdef __cplusplus
}
#endif

#endif
