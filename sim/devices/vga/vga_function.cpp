#include "sim/devices/vga/vga_function.h"

#include "sim/devices/pci/pci_bus.h"

namespace sim {

VgaFunction::VgaFunction(Bus &bus, std::string name, const Identity &id, VgaController &vga)
    : PciFunction(bus, std::move(name), id), vga_(vga) {}

VgaFunction::~VgaFunction() {
  for (const VgaController::PortLeaf &p : vga_.PortLeaves()) {
    p.leaf->Detach();
  }
}

void VgaFunction::Decode() {
  PciFunction::Decode();
  const bool io = (Command() & PciConfig::kCommandIo) != 0 && OnBus() != nullptr;
  for (const VgaController::PortLeaf &p : vga_.PortLeaves()) {
    p.leaf->Detach();
    if (io) {
      OnBus()->Io().AddSubregion(p.port, p.leaf);
    }
  }
}

} // namespace sim
