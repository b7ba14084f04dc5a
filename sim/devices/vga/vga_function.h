// The display controller's PCI function (class 0x030000): its configuration space and BARs
// (pci_function.h), and the legacy VGA I/O ports of its VGA core, which it decodes on its bus
// while its command register enables I/O. The legacy VGA memory range is not decoded: nothing
// here draws through it.
#pragma once

#include "sim/devices/pci/pci_function.h"
#include "sim/devices/vga/vga_controller.h"

namespace sim {

class VgaFunction : public PciFunction {
public:
  static constexpr uint32_t kVgaClass = 0x030000;

  VgaFunction(Bus &bus, std::string name, const Identity &id, VgaController &vga);
  ~VgaFunction() override;

  VgaController &Vga() { return vga_; }

protected:
  void Decode() override;

private:
  VgaController &vga_;
};

} // namespace sim
