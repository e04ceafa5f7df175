/* The whole host interface in one include. */
#ifndef HOSTAPI_HOSTAPI_H
#define HOSTAPI_HOSTAPI_H

#include "aegp_suites.h"
#include "pf_basic.h"
#include "pf_effect.h"
#include "pf_smart_render.h"
#include "pf_suites.h"
#include "sp_basic.h"

#endif
