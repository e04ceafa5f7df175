// "Blend Mode" and "Layer Blend Mode" as the host's transfer modes, and the
// composite record points are transferred with.
#pragma once

#include "hostapi/hostapi.h"

// Popup values 1..19 ("Normal", "Add", ... "Hard Mix") to the host's transfer
// modes; any value outside 2..19 is PF_Xfer_IN_FRONT, "Normal".
PF_TransferMode transferModeOf(A_long blendMode);

// The record of a render's point transfers: its mode at full opacity, RGB and
// alpha alike. Each point's opacity is already in its pixels' alpha.
PF_CompositeMode pointCompositeMode(PF_TransferMode mode);
