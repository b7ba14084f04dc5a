// The module functions a boot's phases are named after (EnableGraphicsController and DrawImageFile
// too, timed by the wrappers that log them). Host builds observe them through
// link-time wrappers (sim/pei/phase_calls.cpp); image runs through entry hooks at the addresses
// the image's linker map gives. Each is called from another translation unit than its own, so
// both ways see every call.
#pragma once

namespace sim {

inline constexpr const char *kPhaseFunctions[] = {
    "BootProgressPeiEntry",
    "OnProgressStart",
    "ShowBootScreenA",
    "ShowBootScreenB",
    "OnProgress5",
    "OnProgress10",
    "OnProgress15",
    "OnProgress20",
    "OnProgress30",
    "OnIpmiTransportReady",
    "OnFooterTrigger",
    "FindGraphicsBridge",
    "OpenHostMmioWindow",
    "SetBootScreenMode",
    "StartController",
    "InitControllerDram",
    "InitDdr3",
    "InitDdr4",
    "SearchBestMarginSetting",
    "SearchPassingRangeMiddle",
    "DetectDramSize",
    "EnableDramCache",
    "DrawProgressTrough",
    "DrawProgressBar",
    "ShowBmcAddress",
};

} // namespace sim
