// The module functions a boot's phases are named after: the one list the simulator keeps. Host
// builds observe them through link-time wrappers (sim/binding/phase_calls.cpp, with the wrap
// options and symbol names generated from this list and the built module library by
// sim/binding/module_symbols.cmake); image runs through entry hooks at the addresses the image's
// linker map gives, and a run fails when the map lacks one. Each is called from another
// translation unit than its own, so both ways see every call. DrawImageFile and
// EnableGraphicsController are timed too, by the wrappers that log them.
//
// Each entry: name, return type, parameters, the arguments that forward them.
#pragma once

#define BOOT_PEI_SERVICES const EFI_PEI_SERVICES **s
#define BOOT_NOTIFY_PARAMETERS                                                                     \
  (BOOT_PEI_SERVICES, const EFI_PEI_NOTIFY_DESCRIPTOR *d, VOID *p), (s, d, p)
#define BOOT_STATE_PARAMETERS (const GraphicsDeviceState *g, BOOT_PEI_SERVICES), (g, s)

// clang-format off
#define BOOT_PHASE_FUNCTIONS(PHASE)                                                                \
  PHASE(BootProgressPeiEntry, EFI_STATUS EFIAPI, (EFI_PEI_FILE_HANDLE f, BOOT_PEI_SERVICES), (f, s)) \
  PHASE(OnProgressStart, EFI_STATUS EFIAPI, BOOT_NOTIFY_PARAMETERS)                               \
  PHASE(ShowBootScreenA, EFI_STATUS EFIAPI, BOOT_NOTIFY_PARAMETERS)                               \
  PHASE(ShowBootScreenB, EFI_STATUS EFIAPI, BOOT_NOTIFY_PARAMETERS)                               \
  PHASE(OnProgress5, EFI_STATUS EFIAPI, BOOT_NOTIFY_PARAMETERS)                                   \
  PHASE(OnProgress10, EFI_STATUS EFIAPI, BOOT_NOTIFY_PARAMETERS)                                  \
  PHASE(OnProgress15, EFI_STATUS EFIAPI, BOOT_NOTIFY_PARAMETERS)                                  \
  PHASE(OnProgress20, EFI_STATUS EFIAPI, BOOT_NOTIFY_PARAMETERS)                                  \
  PHASE(OnProgress30, EFI_STATUS EFIAPI, BOOT_NOTIFY_PARAMETERS)                                  \
  PHASE(OnIpmiTransportReady, EFI_STATUS EFIAPI, BOOT_NOTIFY_PARAMETERS)                          \
  PHASE(OnFooterTrigger, EFI_STATUS EFIAPI, BOOT_NOTIFY_PARAMETERS)                               \
  PHASE(FindGraphicsBridge, EFI_STATUS,                                                           \
        (GraphicsDeviceState * g, BOOT_PEI_SERVICES, uint8_t rootBus), (g, s, rootBus))           \
  PHASE(OpenHostMmioWindow, uint32_t, (), ())                                                     \
  PHASE(SetBootScreenMode, void, (const GraphicsDeviceState &g), (g))                             \
  PHASE(StartController, EFI_STATUS, (GraphicsDeviceState * g, BOOT_PEI_SERVICES), (g, s))        \
  PHASE(InitControllerDram, EFI_STATUS, BOOT_STATE_PARAMETERS)                                    \
  PHASE(InitDdr3, EFI_STATUS, BOOT_STATE_PARAMETERS)                                              \
  PHASE(InitDdr4, EFI_STATUS, BOOT_STATE_PARAMETERS)                                              \
  PHASE(SearchBestMarginSetting, EFI_STATUS, BOOT_STATE_PARAMETERS)                               \
  PHASE(SearchPassingRangeMiddle, EFI_STATUS, BOOT_STATE_PARAMETERS)                              \
  PHASE(DetectDramSize, void, (const GraphicsDeviceState *g, uint32_t size), (g, size))           \
  PHASE(EnableDramCache, EFI_STATUS, (const GraphicsDeviceState *g), (g))                         \
  PHASE(DrawProgressTrough, EFI_STATUS, (uintptr_t fb), (fb))                                     \
  PHASE(DrawProgressBar, void, (UINT16 percent, uintptr_t fb), (percent, fb))                     \
  PHASE(ShowBmcAddress, EFI_STATUS, (BOOT_PEI_SERVICES), (s))

// The module functions whose calls are logged (sim/binding/image_calls.cpp, enable_calls.cpp).
#define LOGGED_MODULE_FUNCTIONS(LOGGED)                                                            \
  LOGGED(DrawImageFile)                                                                           \
  LOGGED(EnableGraphicsController)
// clang-format on

namespace sim {

#define BOOT_PHASE_NAME(Name, ...) #Name,
inline constexpr const char *kPhaseFunctions[] = {BOOT_PHASE_FUNCTIONS(BOOT_PHASE_NAME)};
#undef BOOT_PHASE_NAME

} // namespace sim
