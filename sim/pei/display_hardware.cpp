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
// The part of the chip's DRAM the display engine scans out when BAR0 is not a memory BAR.
constexpr uint64_t kUnreachableFrameSize = 16u << 20;
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
  const auto memoryBar = [&](unsigned i) { return barOf(i) && barOf(i)->kind == BarKind::Memory; };
  chip_ = std::make_unique<BmcChip>(bus, config_.chip,
                                    memoryBar(kFrameBufferBar) ? barOf(kFrameBufferBar)->size
                                                               : kUnreachableFrameSize);
  controller_ = std::make_unique<VgaController>(bus, "vga");
  controller_->SetPowerOnEnable(config_.vga_enabled);
  controller_->SetChipStatusSource([chip = chip_.get()] { return chip->HostReadsStartupState(); });
  controller_->Reset();

  function_ =
      std::make_unique<VgaFunction>(bus, "vga function",
                                    PciFunction::Identity{kDisplayVendorId, kDisplayVgaDeviceId,
                                                          VgaFunction::kVgaClass, config_.revision},
                                    *controller_);
  for (unsigned i = 0; i < bars.size(); ++i) {
    if (!bars[i]) {
      continue;
    }
    Region *target = nullptr;
    if (i == kFrameBufferBar && memoryBar(i)) {
      target = &chip_->FrameBuffer().Bar0Leaf();
    } else if (i == kRegisterWindowBar && memoryBar(i)) {
      register_window_ = std::make_unique<Region>(
          Region::Container(function_.get(), "register window", bars[i]->size));
      if (bars[i]->size >= chip_->Bar1Region().Size()) {
        register_window_->AddSubregion(0, &chip_->Bar1Region());
      }
      target = register_window_.get();
    }
    function_->AddBar(i, bars[i]->kind, bars[i]->size, target);
  }
  function_->Reset();
  function_->AttachTo(bridge_->Secondary(), 0, 0);
  engine_ = std::make_unique<DisplayEngine>(*controller_, chip_->FrameBuffer());
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
