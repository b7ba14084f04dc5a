#include "sim/pei/display_hardware.h"

#include "sim/devices/pci/pci_ids.h"

namespace sim {

namespace {
constexpr uint16_t kDisplayVendorId = 0x1A03;
constexpr uint16_t kDisplayBridgeDeviceId = 0x1150;
constexpr uint16_t kDisplayVgaDeviceId = 0x2000;
constexpr uint8_t kRootPortRevision = 0x09;
constexpr uint8_t kDisplayBridgeRevision = 0x04;
constexpr unsigned kFrameBufferBar = 0;
constexpr unsigned kRegisterWindowBar = 1;
// Video RAM when BAR0 is not a memory BAR: memory the CPU cannot reach.
constexpr uint64_t kUnreachableVideoRamSize = 16u << 20;
} // namespace

DisplayHardware::DisplayHardware(Machine &machine, PciHost &host, const DisplayConfig &config)
    : config_(config), enable_calls_(machine) {
  Bus &bus = machine.bus;
  for (uint8_t f = 0; f < kRootPortFunctions; ++f) {
    root_ports_[f] = std::make_unique<PciBridge>(
        bus, "root port 0:28." + std::to_string(f),
        PciFunction::Identity{kBoardVendorId, kRootPortDeviceId, 0, kRootPortRevision});
    root_ports_[f]->AttachTo(host.RootBus0(), kRootPortDevice, f);
  }
  if (config_.root_port_function) {
    BuildAdapter(bus);
  }
}

DisplayHardware::~DisplayHardware() = default;

void DisplayHardware::BuildAdapter(Bus &bus) {
  bridge_ = std::make_unique<PciBridge>(
      bus, "display bridge",
      PciFunction::Identity{kDisplayVendorId, kDisplayBridgeDeviceId, 0, kDisplayBridgeRevision});
  bridge_->AttachTo(root_ports_[*config_.root_port_function]->Secondary(), 0, 0);
  if (!config_.vga_function) {
    return;
  }

  const auto &bars = config_.bars;
  const auto barOf = [&](unsigned i) -> const std::optional<DisplayBarSpec> & {
    static const std::optional<DisplayBarSpec> kAbsent;
    return i < bars.size() ? bars[i] : kAbsent;
  };
  const auto memoryBar = [&](unsigned i) {
    return barOf(i) && barOf(i)->kind == BarKind::Memory;
  };
  video_ram_ = std::make_unique<VideoRam>(
      bus, memoryBar(kFrameBufferBar) ? barOf(kFrameBufferBar)->size : kUnreachableVideoRamSize,
      "video ram");
  controller_ = std::make_unique<VgaController>(bus, "vga");
  controller_->SetPowerOnEnable(config_.vga_enabled);
  const uint8_t d0 = config_.crtc_d0;
  controller_->SetChipStatusSource([d0] { return d0; });
  controller_->Reset();

  function_ = std::make_unique<VgaFunction>(
      bus, "vga function",
      PciFunction::Identity{kDisplayVendorId, kDisplayVgaDeviceId, VgaFunction::kVgaClass,
                            config_.revision},
      *controller_);
  for (unsigned i = 0; i < bars.size(); ++i) {
    if (!bars[i]) {
      continue;
    }
    Region *target = nullptr;
    if (i == kFrameBufferBar && memoryBar(i)) {
      target = &video_ram_->Bar0Leaf();
    } else if (i == kRegisterWindowBar && memoryBar(i)) {
      // The chip model fills this window with the chip's registers and DRAM window.
      register_window_ = std::make_unique<Region>(
          Region::Container(function_.get(), "register window", bars[i]->size));
      target = register_window_.get();
    }
    function_->AddBar(i, bars[i]->kind, bars[i]->size, target);
  }
  function_->Reset();
  function_->AttachTo(bridge_->Secondary(), 0, 0);
  engine_ = std::make_unique<DisplayEngine>(*controller_, *video_ram_);
}

void DisplayHardware::SetChipStatusSource(VgaController::ChipStatusSource source) {
  if (controller_) {
    controller_->SetChipStatusSource(std::move(source));
  }
}

DisplayMode DisplayHardware::Mode() const { return engine_ ? engine_->Mode() : DisplayMode{}; }

ScreenPicture DisplayHardware::Screen() const {
  if (engine_) {
    return engine_->Picture();
  }
  ScreenPicture black{DisplayEngine::kNoSignalWidth, DisplayEngine::kNoSignalHeight, {}};
  black.rgb.assign(size_t{black.width} * black.height * 3, 0);
  return black;
}

} // namespace sim
