// Smart render: one frame from the pre-render snapshot to the output pixels.
#include "engine/render_driver.h"

// Placeholder so the library links; replaced by the render driver.
PF_Err smartRender(PF_InData *in_data, PF_OutData *out_data, PF_SmartRenderExtra *extra,
                   SuiteHandler &suites) {
    (void)in_data;
    (void)out_data;
    (void)extra;
    (void)suites;
    return PF_Err_NONE;
}
