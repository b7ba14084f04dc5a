#include "sim/pei/display_report.h"

#include <cstdio>

#include "sim/core/efi_status_names.h"
#include "sim/core/hex_text.h"
#include "sim/devices/vga/vga_regs.h"

namespace sim {

using nlohmann::json;

namespace {
json Window(const PciBridge::Window &w, int digits) {
  return {{"open", w.open}, {"base", Hex(w.base, digits)}, {"limit", Hex(w.limit, digits)}};
}

json FunctionEntry(PciFunction &f) {
  const RegisterFile &c = f.config;
  json entry = {
      {"name", f.Name()},
      {"bus", f.OnBus() ? json(f.OnBus()->Number()) : json(nullptr)},
      {"device", f.DeviceNumber()},
      {"function", f.FunctionNumber()},
      {"vendor_id", Hex(c.Get(PciConfig::kVendorId, 2), 4)},
      {"device_id", Hex(c.Get(PciConfig::kDeviceId, 2), 4)},
      {"class", Hex(c.Get(PciConfig::kClassCode, 3), 6)},
      {"revision", Hex(c.Get(PciConfig::kRevision, 1), 2)},
      {"command", Hex(f.Command(), 4)},
  };
  if (auto *bridge = dynamic_cast<PciBridge *>(&f)) {
    entry["bus_numbers"] = {{"primary", bridge->PrimaryBus()},
                            {"secondary", bridge->SecondaryBus()},
                            {"subordinate", bridge->SubordinateBus()}};
    entry["io_window"] = Window(bridge->IoWindow(), 4);
    entry["memory_window"] = Window(bridge->MemoryWindow(), 8);
    entry["bridge_control"] = Hex(c.Get(PciBridgeConfig::kBridgeControl, 2), 4);
    entry["vga_forwarding"] = {{"memory", bridge->VgaForwarding(BarKind::Memory)},
                               {"io", bridge->VgaForwarding(BarKind::Io)}};
  }
  return entry;
}

// The VGA function's BARs as the scenario declares them, with what software wrote.
json BarEntries(VgaFunction &f, const DisplayConfig &config) {
  json bars = json::array();
  for (unsigned i = 0; i < config.bars.size(); ++i) {
    if (!config.bars[i]) {
      continue;
    }
    const uint16_t reg = static_cast<uint16_t>(PciConfig::kBar0 + 4 * i);
    bars.push_back({{"index", i},
                    {"kind", config.bars[i]->kind == BarKind::Io ? "io" : "memory"},
                    {"size", config.bars[i]->size},
                    {"register", Hex(f.config.Get(reg, 4), 8)},
                    {"address", Hex(f.BarAddress(i), 8)},
                    {"decoding", f.BarMapped(i)}});
  }
  return bars;
}

json ModeEntry(const DisplayMode &m) {
  if (!m.programmed) {
    return nullptr;
  }
  return {{"width", m.width},
          {"height", m.height},
          {"bpp", m.bpp},
          {"pitch", m.pitch},
          {"start", m.start},
          {"htotal", m.htotal},
          {"vtotal", m.vtotal},
          {"hsync_start", m.hsync_start},
          {"hsync_end", m.hsync_end},
          {"vsync_start", m.vsync_start},
          {"vsync_end", m.vsync_end},
          {"screen_on", m.screen_on}};
}
} // namespace

json DisplayReport(DisplayHardware &display) {
  json functions = json::array();
  for (unsigned f = 0; f < DisplayHardware::kRootPortFunctions; ++f) {
    functions.push_back(FunctionEntry(display.RootPort(f)));
  }
  if (display.Bridge()) {
    functions.push_back(FunctionEntry(*display.Bridge()));
  }
  if (VgaFunction *vga = display.Function()) {
    functions.push_back(FunctionEntry(*vga));
    functions.back()["bars"] = BarEntries(*vga, display.Config());
  }
  json clock = nullptr;
  if (const VgaController *v = display.Controller()) {
    clock = {{"c0", Hex(v->Crtc(vga::kCrtcExtPixelClock0), 2)},
             {"c1", Hex(v->Crtc(vga::kCrtcExtPixelClock1), 2)},
             {"bb", Hex(v->Crtc(vga::kCrtcExtClockControl), 2)}};
  }
  json calls = json::array();
  for (const EnableCall &call : display.EnableCalls()) {
    calls.push_back({{"status", EfiStatusName(call.status)},
                     {"t_us", call.start_us},
                     {"virtual_time_us", call.cost_us}});
  }
  const auto &all = display.EnableCalls();
  return {
      {"pci", functions},
      {"mode", ModeEntry(display.Mode())},
      {"pixel_clock", clock},
      {"enable_status", all.empty() ? json(nullptr) : json(EfiStatusName(all.back().status))},
      {"enable_calls", calls},
      {"chip", display.Chip() ? display.Chip()->RecordJson() : json(nullptr)},
  };
}

} // namespace sim
