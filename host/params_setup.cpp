// Registration of the parameter table with the host.
#include "host/params_setup.h"

#include "host/param_table.h"

PF_Err paramsSetup(PF_InData *in_data, PF_OutData *out_data) {
    for (int index = 1; index <= kRegisteredParamCount; ++index) {
        PF_ParamDef def = paramDefinition(index);
        in_data->utils->ansi.strcpy(def.name, paramRow(index).name);
        const PF_Err err = PF_ADD_PARAM(in_data, -1, &def);
        if (err != PF_Err_NONE) return err;
    }
    out_data->num_params = ParamIndex::Count;
    return PF_Err_NONE;
}
