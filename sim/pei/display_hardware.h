// The display path of the PEI board, built from the scenario's "display" key
// (display_scenario.h): the PCH root ports 0:28.0-7 on root bus 0, the display bridge
// 0x1A03:0x1150 behind one of them, and behind the bridge the VGA function with its VGA core,
// palette DAC and display engine, and the BMC chip (sim/devices/chip/bmc_chip.h) it belongs to:
//   - BAR0 shows the top BAR0-size bytes of the chip's DRAM, the memory the engine scans out;
//   - BAR1 holds the chip's register window (control at +0xF000, aperture at +0x10000) when it
//     is a memory BAR large enough for it; otherwise the chip cannot be reached;
//   - CRTC 0xD0 bits 7:6 read the chip's SCU40 bits 7:6.
#pragma once

#include <array>
#include <memory>

#include "sim/binding/enable_calls.h"
#include "sim/devices/chip/bmc_chip.h"
#include "sim/devices/pci/pci_bridge.h"
#include "sim/devices/pci/pci_host.h"
#include "sim/devices/vga/display_engine.h"
#include "sim/devices/vga/vga_controller.h"
#include "sim/devices/vga/vga_function.h"
#include "sim/pei/display_scenario.h"

namespace sim {

class DisplayHardware {
public:
  static constexpr uint8_t kRootPortDevice = 28;
  static constexpr unsigned kRootPortFunctions = 8;

  DisplayHardware(Machine &machine, PciHost &host, const DisplayConfig &config);
  ~DisplayHardware();
  DisplayHardware(const DisplayHardware &) = delete;
  DisplayHardware &operator=(const DisplayHardware &) = delete;

  const DisplayConfig &Config() const { return config_; }
  PciBridge &RootPort(unsigned function) { return *root_ports_.at(function); }
  // Null where the scenario has no such piece (no adapter, no VGA function).
  PciBridge *Bridge() { return bridge_.get(); }
  VgaFunction *Function() { return function_.get(); }
  VgaController *Controller() { return controller_.get(); }
  const VgaController *Controller() const { return controller_.get(); }
  BmcChip *Chip() { return chip_.get(); }
  const BmcChip *Chip() const { return chip_.get(); }
  // The chip's DRAM, whose top BAR0 shows.
  ChipDram *FrameMemory() { return chip_ ? &chip_->dram : nullptr; }
  const ChipDram *FrameMemory() const { return chip_ ? &chip_->dram : nullptr; }

  // Replaces the source of CRTC 0xD0 bits 7:6 (the chip's SCU40 until then), for tests that
  // drive the chip's state by hand.
  void SetChipStatusSource(VgaController::ChipStatusSource source);

  // The mode the controller is programmed with, and what the display shows.
  DisplayMode Mode() const;
  ScreenPicture Screen() const;
  const std::vector<EnableCall> &EnableCalls() const { return enable_calls_.Calls(); }

private:
  void BuildAdapter(Bus &bus);

  DisplayConfig config_;
  EnableCallLog enable_calls_;
  std::array<std::unique_ptr<PciBridge>, kRootPortFunctions> root_ports_;
  std::unique_ptr<PciBridge> bridge_;
  std::unique_ptr<BmcChip> chip_; // before everything that maps its regions
  std::unique_ptr<Region> register_window_;
  std::unique_ptr<VgaController> controller_;
  std::unique_ptr<VgaFunction> function_; // after the controller: detaches its ports first
  std::unique_ptr<DisplayEngine> engine_;
};

} // namespace sim
