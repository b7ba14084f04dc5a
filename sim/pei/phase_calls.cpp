// Link-time wrappers that time the module functions of sim/pei/phase_functions.h as phases.
// Executables that boot the module are linked with --wrap for each symbol (sim/CMakeLists.txt),
// so a call reaches the wrapper here, which opens the phase and calls the real function.
// DrawImageFile and EnableGraphicsController are timed by the wrappers that log them
// (sim/screen/image_calls.cpp, sim/pei/enable_calls.cpp).
#include "modules/boot_progress_pei/graphics/bridge_discovery.h"
#include "modules/boot_progress_pei/graphics/chip_startup.h"
#include "modules/boot_progress_pei/graphics/dram_cache.h"
#include "modules/boot_progress_pei/graphics/dram_controller.h"
#include "modules/boot_progress_pei/graphics/dram_sequences.h"
#include "modules/boot_progress_pei/graphics/dram_size.h"
#include "modules/boot_progress_pei/graphics/dram_training.h"
#include "modules/boot_progress_pei/graphics/host_window.h"
#include "modules/boot_progress_pei/graphics/mode_programming.h"
#include "modules/boot_progress_pei/progress/bmc_address.h"
#include "modules/boot_progress_pei/progress/callbacks.h"
#include "modules/boot_progress_pei/progress/progress_bar.h"
#include "sim/core/phase_log.h"

#define BPP_PHASE_WRAP(Name, Symbol, Ret, Params, Args)                                            \
  Ret Real##Name Params __asm__("__real_" Symbol);                                                 \
  Ret Wrap##Name Params __asm__("__wrap_" Symbol);                                                 \
  Ret Wrap##Name Params {                                                                          \
    sim::PhaseScope phase(#Name);                                                                  \
    return Real##Name Args;                                                                        \
  }

#define BPP_CALLBACK_PHASE(Name, Symbol)                                                           \
  BPP_PHASE_WRAP(Name, Symbol, EFI_STATUS EFIAPI,                                                  \
                 (const EFI_PEI_SERVICES **s, const EFI_PEI_NOTIFY_DESCRIPTOR *d, VOID *p),        \
                 (s, d, p))

#define BPP_SERVICES_SYMBOL "PPK16EFI_PEI_SERVICES"
#define BPP_NOTIFY_SYMBOL BPP_SERVICES_SYMBOL "PK25EFI_PEI_NOTIFY_DESCRIPTORPv"

BPP_PHASE_WRAP(BootProgressPeiEntry, "BootProgressPeiEntry", EFI_STATUS EFIAPI,
               (EFI_PEI_FILE_HANDLE f, const EFI_PEI_SERVICES **s), (f, s))
BPP_CALLBACK_PHASE(OnProgressStart, "_Z15OnProgressStart" BPP_NOTIFY_SYMBOL)
BPP_CALLBACK_PHASE(ShowBootScreenA, "_Z15ShowBootScreenA" BPP_NOTIFY_SYMBOL)
BPP_CALLBACK_PHASE(ShowBootScreenB, "_Z15ShowBootScreenB" BPP_NOTIFY_SYMBOL)
BPP_CALLBACK_PHASE(OnProgress5, "_Z11OnProgress5" BPP_NOTIFY_SYMBOL)
BPP_CALLBACK_PHASE(OnProgress10, "_Z12OnProgress10" BPP_NOTIFY_SYMBOL)
BPP_CALLBACK_PHASE(OnProgress15, "_Z12OnProgress15" BPP_NOTIFY_SYMBOL)
BPP_CALLBACK_PHASE(OnProgress20, "_Z12OnProgress20" BPP_NOTIFY_SYMBOL)
BPP_CALLBACK_PHASE(OnProgress30, "_Z12OnProgress30" BPP_NOTIFY_SYMBOL)
BPP_CALLBACK_PHASE(OnIpmiTransportReady, "_Z20OnIpmiTransportReady" BPP_NOTIFY_SYMBOL)
BPP_CALLBACK_PHASE(OnFooterTrigger, "_Z15OnFooterTrigger" BPP_NOTIFY_SYMBOL)

BPP_PHASE_WRAP(FindGraphicsBridge,
               "_Z18FindGraphicsBridgeP19GraphicsDeviceState" BPP_SERVICES_SYMBOL "h", EFI_STATUS,
               (GraphicsDeviceState * g, const EFI_PEI_SERVICES **s, uint8_t rootBus),
               (g, s, rootBus))
BPP_PHASE_WRAP(OpenHostMmioWindow, "_Z18OpenHostMmioWindowv", uint32_t, (), ())
BPP_PHASE_WRAP(SetBootScreenMode, "_Z17SetBootScreenModeRK19GraphicsDeviceState", void,
               (const GraphicsDeviceState &g), (g))
BPP_PHASE_WRAP(StartController, "_Z15StartControllerP19GraphicsDeviceState" BPP_SERVICES_SYMBOL,
               EFI_STATUS, (GraphicsDeviceState * g, const EFI_PEI_SERVICES **s), (g, s))
BPP_PHASE_WRAP(InitControllerDram,
               "_Z18InitControllerDramPK19GraphicsDeviceState" BPP_SERVICES_SYMBOL, EFI_STATUS,
               (const GraphicsDeviceState *g, const EFI_PEI_SERVICES **s), (g, s))
BPP_PHASE_WRAP(InitDdr3, "_Z8InitDdr3PK19GraphicsDeviceState" BPP_SERVICES_SYMBOL, EFI_STATUS,
               (const GraphicsDeviceState *g, const EFI_PEI_SERVICES **s), (g, s))
BPP_PHASE_WRAP(InitDdr4, "_Z8InitDdr4PK19GraphicsDeviceState" BPP_SERVICES_SYMBOL, EFI_STATUS,
               (const GraphicsDeviceState *g, const EFI_PEI_SERVICES **s), (g, s))
BPP_PHASE_WRAP(SearchBestMarginSetting,
               "_Z23SearchBestMarginSettingPK19GraphicsDeviceState" BPP_SERVICES_SYMBOL, EFI_STATUS,
               (const GraphicsDeviceState *g, const EFI_PEI_SERVICES **s), (g, s))
BPP_PHASE_WRAP(SearchPassingRangeMiddle,
               "_Z24SearchPassingRangeMiddlePK19GraphicsDeviceState" BPP_SERVICES_SYMBOL,
               EFI_STATUS, (const GraphicsDeviceState *g, const EFI_PEI_SERVICES **s), (g, s))
BPP_PHASE_WRAP(DetectDramSize, "_Z14DetectDramSizePK19GraphicsDeviceStatej", void,
               (const GraphicsDeviceState *g, uint32_t size), (g, size))
BPP_PHASE_WRAP(EnableDramCache, "_Z15EnableDramCachePK19GraphicsDeviceState", EFI_STATUS,
               (const GraphicsDeviceState *g), (g))
BPP_PHASE_WRAP(DrawProgressTrough, "_Z18DrawProgressTroughm", EFI_STATUS, (uintptr_t fb), (fb))
BPP_PHASE_WRAP(DrawProgressBar, "_Z15DrawProgressBartm", void, (UINT16 percent, uintptr_t fb),
               (percent, fb))
BPP_PHASE_WRAP(ShowBmcAddress, "_Z14ShowBmcAddress" BPP_SERVICES_SYMBOL, EFI_STATUS,
               (const EFI_PEI_SERVICES **s), (s))
