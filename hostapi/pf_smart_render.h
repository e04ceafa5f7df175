/* Records of the smart pre-render and smart render commands. Plain C. */
#ifndef HOSTAPI_PF_SMART_RENDER_H
#define HOSTAPI_PF_SMART_RENDER_H

#include "pf_effect.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct {
    PF_LRect rect;
    PF_Field field;
    PF_ChannelMask channel_mask;
    PF_Boolean preserve_rgb_of_zero_alpha;
    A_char unused[3];
    A_long reserved[4];
} PF_RenderRequest;

typedef struct {
    PF_LRect result_rect;
    PF_LRect max_result_rect;
    PF_RationalScale par;
    A_long solid;
    A_long reserved_flags;
    A_long ref_width;
    A_long ref_height;
    A_long reserved[6];
} PF_CheckoutResult;

/* Called by the host once it no longer needs a frame's pre-render data. The
 * host passes the in_data of the command that consumed the data, so that the
 * plug-in can return host memory through its callbacks. */
typedef void (*PF_DeletePreRenderDataFunc)(void *pre_render_data, const PF_InData *in_data);

typedef struct {
    PF_RenderRequest output_request;
    A_short bitdepth;
    A_short reserved;
} PF_PreRenderInput;

typedef struct {
    PF_LRect result_rect;
    PF_LRect max_result_rect;
    PF_Boolean solid;
    PF_Boolean reserved;
    A_short flags;
    void *pre_render_data;
    PF_DeletePreRenderDataFunc delete_pre_render_data_func;
} PF_PreRenderOutput;

typedef struct {
    PF_Err (*checkout_layer)(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long checkout_idL,
                             const PF_RenderRequest *req, A_long what_time, A_long time_step, A_u_long time_scale,
                             PF_CheckoutResult *checkout_result);
} PF_PreRenderCallbacks;

typedef struct {
    PF_PreRenderInput *input;
    PF_PreRenderOutput *output;
    PF_PreRenderCallbacks *cb;
} PF_PreRenderExtra;

typedef struct {
    PF_RenderRequest output_request;
    A_short bitdepth;
    A_short reserved;
    void *pre_render_data;
} PF_SmartRenderInput;

typedef struct {
    PF_Err (*checkout_layer_pixels)(PF_ProgPtr effect_ref, A_long checkout_idL, PF_EffectWorld **pixels);
    PF_Err (*checkin_layer_pixels)(PF_ProgPtr effect_ref, A_long checkout_idL);
    PF_Err (*checkout_output)(PF_ProgPtr effect_ref, PF_EffectWorld **output);
} PF_SmartRenderCallbacks;

typedef struct {
    PF_SmartRenderInput *input;
    PF_SmartRenderCallbacks *cb;
} PF_SmartRenderExtra;

#ifdef __cplusplus
}
#endif

#endif
