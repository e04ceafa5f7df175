/* The "AEGP ..." suites the plug-in acquires: names, versions, records and
 * function tables. Plain C. */
#ifndef HOSTAPI_AEGP_SUITES_H
#define HOSTAPI_AEGP_SUITES_H

#include "pf_effect.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef A_long AEGP_PluginID;
typedef void *AEGP_GlobalRefcon;
typedef struct AEGP_EffectRef *AEGP_EffectRefH;
typedef struct AEGP_StreamRef *AEGP_StreamRefH;
typedef struct AEGP_LayerRef *AEGP_LayerH;
typedef struct AEGP_MaskRef *AEGP_MaskRefH;
typedef A_long AEGP_KeyframeIndex;

typedef struct {
    A_long value;
    A_u_long scale;
} A_Time;

typedef A_long AEGP_LTimeMode;
enum { AEGP_LTimeMode_LayerTime = 0, AEGP_LTimeMode_CompTime = 1 };

typedef struct {
    A_FpLong alphaF, redF, greenF, blueF; /* 0..1 */
} AEGP_ColorVal;

typedef struct {
    A_FpLong x, y;
} AEGP_TwoDVal;

typedef struct {
    A_FpLong x, y, z;
} AEGP_ThreeDVal;

typedef union {
    AEGP_ThreeDVal three_d;
    AEGP_TwoDVal two_d;
    A_FpLong one_d;
    AEGP_ColorVal color;
} AEGP_StreamVal2;

typedef struct {
    AEGP_StreamRefH streamH;
    AEGP_StreamVal2 val;
} AEGP_StreamValue2;

#define kAEGPUtilitySuite "AEGP Utility Suite"
#define kAEGPUtilitySuiteVersion7 7

typedef struct {
    PF_Err (*AEGP_ReportInfo)(AEGP_PluginID aegp_plugin_id, const A_char *info_string);
    PF_Err (*AEGP_GetDriverSpecVersion)(A_short *major_versionPS, A_short *minor_versionPS);
    PF_Err (*AEGP_StartQuietErrors)(void *err_state);
    PF_Err (*AEGP_EndQuietErrors)(A_Boolean report_quieted_errorsB, void *err_state);
    PF_Err (*AEGP_RegisterWithAEGP)(AEGP_GlobalRefcon global_refcon, const A_char *plugin_name,
                                    AEGP_PluginID *plugin_id);
} AEGP_UtilitySuite7;

#define kAEGPMaskSuite "AEGP Mask Suite"
#define kAEGPMaskSuiteVersion1 1

typedef struct {
    PF_Err (*AEGP_GetLayerNumMasks)(AEGP_LayerH aegp_layerH, A_long *num_masksPL);
    PF_Err (*AEGP_GetLayerMaskByIndex)(AEGP_LayerH aegp_layerH, A_long mask_indexL, AEGP_MaskRefH *maskPH);
    PF_Err (*AEGP_DisposeMask)(AEGP_MaskRefH mask_refH);
} AEGP_MaskSuite1;

#define kAEGPPFInterfaceSuite "AEGP PF Interface Suite"
#define kAEGPPFInterfaceSuiteVersion1 1

typedef struct {
    PF_Err (*AEGP_GetEffectLayer)(PF_ProgPtr effect_ref, AEGP_LayerH *layerPH);
    PF_Err (*AEGP_GetNewEffectForEffect)(AEGP_PluginID aegp_plugin_id, PF_ProgPtr effect_ref,
                                         AEGP_EffectRefH *effectPH);
    PF_Err (*AEGP_ConvertEffectToCompTime)(PF_ProgPtr effect_ref, A_long what_timeL, A_u_long time_scaleLu,
                                           A_Time *comp_timePT);
} AEGP_PFInterfaceSuite1;

#define kAEGPEffectSuite "AEGP Effect Suite"
#define kAEGPEffectSuiteVersion3 3

typedef struct {
    PF_Err (*AEGP_GetLayerNumEffects)(AEGP_LayerH layerH, A_long *num_effectsPL);
    PF_Err (*AEGP_DisposeEffect)(AEGP_EffectRefH effectH);
} AEGP_EffectSuite3;

#define kAEGPStreamSuite "AEGP Stream Suite"
#define kAEGPStreamSuiteVersion7 7
#define kAEGPStreamSuiteVersion9 9

/* Versions 7 and 9 share one table. */
typedef struct {
    PF_Err (*AEGP_GetNewEffectStreamByIndex)(AEGP_PluginID aegp_plugin_id, AEGP_EffectRefH effect_refH,
                                             PF_ParamIndex param_index, AEGP_StreamRefH *streamPH);
    PF_Err (*AEGP_DisposeStream)(AEGP_StreamRefH streamH);
    PF_Err (*AEGP_GetNewStreamValue)(AEGP_PluginID aegp_plugin_id, AEGP_StreamRefH streamH, AEGP_LTimeMode time_mode,
                                     const A_Time *timePT, A_Boolean pre_expressionB, AEGP_StreamValue2 *valueP);
    PF_Err (*AEGP_DisposeStreamValue)(AEGP_StreamValue2 *valueP);
} AEGP_StreamSuite9;
typedef AEGP_StreamSuite9 AEGP_StreamSuite7;

#define kAEGPKeyframeSuite "AEGP Keyframe Suite"
#define kAEGPKeyframeSuiteVersion3 3
#define kAEGPKeyframeSuiteVersion4 4

/* Versions 3 and 4 share one table. */
typedef struct {
    PF_Err (*AEGP_GetStreamNumKFs)(AEGP_StreamRefH streamH, A_long *num_kfsPL);
    PF_Err (*AEGP_GetKeyframeTime)(AEGP_StreamRefH streamH, AEGP_KeyframeIndex key_index, AEGP_LTimeMode time_mode,
                                   A_Time *timePT);
    PF_Err (*AEGP_GetNewKeyframeValue)(AEGP_PluginID aegp_plugin_id, AEGP_StreamRefH streamH,
                                       AEGP_KeyframeIndex key_index, AEGP_StreamValue2 *valueP);
} AEGP_KeyframeSuite4;
typedef AEGP_KeyframeSuite4 AEGP_KeyframeSuite3;

#ifdef __cplusplus
}
#endif

#endif
