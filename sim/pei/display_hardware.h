// The display path of the PEI board, built from the scenario's "display" key
// (display_scenario.h): the PCH root ports 0:28.0-7 on root bus 0, the display bridge
// 0x1A03:0x1150 behind one of them, and behind the bridge the VGA function with its VGA core,
// palette DAC, video memory and display engine.
// Three seams are where the BMC chip model plugs in, each replacing one piece:
//   - BAR0's memory: plain video RAM here (a VideoMemory; the chip shows the top of its DRAM);
//   - BAR1's target: the chip's register window, an empty container here (unclaimed);
//   - CRTC 0xD0 bits 7:6: a source returning the scenario's crtc_d0 here (the chip's SCU40).
#pragma once

#include <array>
#include <memory>

#include "sim/devices/pci/pci_bridge.h"
#include "sim/devices/pci/pci_host.h"
#include "sim/devices/vga/display_engine.h"
#include "sim/devices/vga/vga_controller.h"
#include "sim/devices/vga/vga_function.h"
#include "sim/devices/vga/video_ram.h"
#include "sim/pei/display_scenario.h"
#include "sim/pei/enable_calls.h"

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
  VideoRam *Ram() { return video_ram_.get(); }
  const VideoRam *Ram() const { return video_ram_.get(); }

  // Replaces the source of CRTC 0xD0 bits 7:6 (the scenario's value until then).
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
  std::unique_ptr<VideoRam> video_ram_;
  std::unique_ptr<Region> register_window_;
  std::unique_ptr<VgaController> controller_;
  std::unique_ptr<VgaFunction> function_; // after the controller: detaches its ports first
  std::unique_ptr<DisplayEngine> engine_;
};

} // namespace sim
