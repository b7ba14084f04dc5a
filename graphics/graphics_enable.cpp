#include "graphics/graphics_enable.h"

// Placeholder until controller discovery lands: programs nothing.
uint32_t OpenHostMmioWindow() { return 0; }

// Placeholder until controller discovery lands: touches no hardware and reports success.
EFI_STATUS EnableGraphicsController(GraphicsDeviceState *, const EFI_PEI_SERVICES **) {
  return EFI_SUCCESS;
}
