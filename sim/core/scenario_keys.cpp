#include "sim/core/scenario_keys.h"

#include "sim/core/scenario.h"

namespace sim {

using nlohmann::json;

const std::vector<ScenarioKey> &ScenarioKeys() {
  using enum KeyShape;
  static const std::vector<ScenarioKey> keys = {
      // The PEI core and the boot (sim/core/scenario.cpp; events and preinstalled:
      // sim/pei/event_scenario.cpp).
      {"boot_mode", kValue, "\"normal\", \"s3\", \"recovery\" or an integer from 0 to 0xFFFFFFFF",
       "\"normal\""},
      {"events", kValue, "a list of at most 256 PPI names, installed in order; [] means none",
       "every milestone: ProgressStart, ScreenA, Milestone5, Milestone10, Milestone15, "
       "PermanentMemory, Milestone30, IpmiTransport, Footer"},
      {"preinstalled", kValue, "a list of at most 256 PPI names, installed before the module loads",
       "none"},
      {"cost_model", kObject, "virtual time per bus access", "the costs below"},
      {"cost_model.io_us", kValue, "microseconds from 0 to 1000", "1"},
      {"cost_model.mmio_read_us", kValue, "microseconds from 0 to 1000", "1"},
      {"cost_model.mmio_write_us", kValue, "microseconds from 0 to 1000", "0.15"},
      {"pcd", kMap, "PCD token numbers (\"5\" or \"0x5\") to values", "token 5 only"},
      {"pcd.5", kValue, "the PCI Express base: a multiple of 0x10000000 from 0 to 0xE0000000",
       "host.config_base"},
      {"pcd.6", kValue, "the segment table pointer: 0 (no table)", "not published"},
      {"host", kObject, "the PCI host", "the value below"},
      {"host.config_base", kValue,
       "where the host decodes configuration space: a multiple of 0x10000000 from 0 to 0xE0000000",
       "0x80000000"},
      {"host.decoders", kValue,
       "true or false: the host decode functions 0:5.0 and 17:29.1 answer; false: they read all "
       "ones and the MMIO window onto bus 0 stays closed",
       "true"},
      {"hob_capacity", kValue, "bytes of HOB memory, an integer from 64 to 16777216", "65536"},
      // Image runs (sim/emu/pei_image.cpp).
      {"temp_ram_size", kValue,
       "bytes of temporary RAM at 0xFEF00000: a multiple of 4096, at most 1048576, holding "
       "hob_capacity, 20 KiB of core tables and guard, and an 8 KiB stack",
       "262144"},
      {"image_volume_base", kValue,
       "flash address of the module's volume: a multiple of 0x1000 from 0xFF000000 to 0xFFFFF000",
       "0xFFFF0000"},
      // The flash (sim/pei/flash_scenario.cpp).
      {"flash", kObject, "what the flash holds", "the default artwork volume"},
      {"flash.volumes", kObjectList, "a list of at most 64 volumes; [] leaves the flash erased",
       "assets/manifest.json packed at 0xFF800000"},
      {"flash.volumes[].base", kValue, "flash address: an integer from 0xFF000000 to 0xFFFFFFFF",
       "required"},
      {"flash.volumes[].file", kValue,
       "a volume file (relative to the scenario), a regular file of at most 16 MiB",
       "one of file and manifest"},
      {"flash.volumes[].manifest", kValue,
       "an fvpack manifest (relative to the scenario, at most 1 MiB), packed on the fly",
       "one of file and manifest"},
      // The SMM board (sim/smm/smm_scenario.cpp).
      {"smm", kObject, "what the SMM load of DimmReportSmm finds", "a healthy board"},
      {"smm.dimms", kValue, "a list of [socket 0-3, channel 0-5, slot 0-1] triples",
       "all 48 slots"},
      {"smm.topology_hob", kValue, "true or false: whether the memory-topology HOB exists", "true"},
      {"smm.processors", kObjectList, "a list of at most 1024 processors",
       "4 packages of 8 cores with 2 threads"},
      {"smm.processors[].apic_id", kValue, "an integer from 0 to 0xFFFFFFFF", "required"},
      {"smm.processors[].enabled", kValue, "true or false", "true"},
      {"smm.cpuid", kMap,
       "\"leaf\" or \"leaf.sub-leaf\" (32-bit each) to [eax, ebx, ecx, edx] (32-bit each); "
       "replaces the entries it names",
       "leaves 0, 1, 4 and 0xB of the default topology"},
      {"smm.tsc_hz", kValue, "time-stamp counter rate: an integer from 1000000 to 10000000000",
       "2400000000"},
      {"smm.sink", kObject, "the record sink", "present, succeeding"},
      {"smm.sink.present", kValue, "true or false", "true"},
      {"smm.sink.from_record", kValue,
       "the sink can be located from this lookup on: an integer from 1 to 0xFFFFFFFF", "1"},
      {"smm.sink.status", kValue,
       "what SubmitRecord returns: an EFI status name or an integer from 0 to 0xFFFFFFFFFFFFFFFF",
       "EFI_SUCCESS"},
      {"smm.missing", kValue,
       "a list of interfaces left out: smm_base2, smm_access2, pcd, smm_cpu_service, hob_list, "
       "platform_fd480a76, platform_a7ced760, platform_0067835f",
       "none"},
      {"smm.pcd7", kValue, "the bytes of PCD token 7, a string of hex pairs",
       "504C415401000000 1020304000000000"},
      // The display path (sim/pei/display_scenario.cpp; docs/display.md).
      {"display", kObject, "the display adapter behind a PCH root port", "the values below"},
      {"display.root_port_function", kValue,
       "root port function 0-7 of 0:28 the display bridge sits behind; null: no adapter", "5"},
      {"display.revision", kValue, "revision ID of the VGA function, 0 to 0xFF", "0x40"},
      {"display.bars", kValue,
       "BAR0 upwards, at most 6: {\"kind\": \"memory\" or \"io\", \"size\": bytes} or null; "
       "sizes powers of two, memory 16 bytes to 256 MiB, I/O 4 to 256 bytes",
       "16 MiB memory, 128 KiB memory, 128 bytes I/O"},
      {"display.vga_function", kValue, "true or false: a VGA function answers behind the bridge",
       "true"},
      {"display.vga_enabled", kValue, "true or false: port 0x3C3 bit 0 at power-on", "false"},
      {"display.chip", kMap,
       "the BMC display chip: started_by_bmc, ddr4, straps, size_mib, eye, and the faults "
       "dead_passes, phy_errors, verify_failures and the hang faults (docs/display.md)",
       "a cold chip with 1 GiB of DDR4 and the default eye"},
      // The PCH and the BMC (sim/pei/platform_scenario.cpp; docs/platform.md).
      {"pch", kObject, "the PCH", "the values below"},
      {"pch.device_id", kValue, "the LPC/eSPI bridge's device ID, 0 to 0xFFFF", "0xA1C1"},
      {"pch.p2sb_hidden", kValue, "true or false: the sideband bridge hidden at power-on", "true"},
      {"pch.pads", kMap,
       "pad codes (\"0x01060015\") to pad states: level, dw0, dw1, owner, hostsw_own, gpe_en, "
       "locked, tx_locked (docs/platform.md)",
       "the address strap pad low"},
      {"pch.sideband", kObject, "the sideband interface", "the values below"},
      {"pch.sideband.busy_reads", kValue,
       "status reads that show busy after a message starts, 0 to 0x10000000", "2"},
      {"pch.sideband.stuck", kValue, "true or false: a started message never completes", "false"},
      {"pch.sideband.status", kValue, "0 to 3; non-zero: every port refuses with this status", "0"},
      {"bmc", kObject, "the BMC behind the IPMI transport", "the value below"},
      {"bmc.lan", kMap,
       "LAN channel numbers (\"1\" to \"15\") to {ip, set_in_progress 0-3, fail, "
       "short_response} (docs/platform.md); channels not listed answer 0xCC",
       "{\"1\": {\"ip\": \"192.168.1.100\"}}"},
      {"pcd.segment_table", kValue,
       "{\"length\": up to 4096, \"entries\": [base, ...]}: the platform's PCI segment table, "
       "published as token 6; excludes pcd.6",
       "absent: token 6 unset"},
  };
  return keys;
}

namespace {
const ScenarioKey *Row(std::string_view path) {
  for (const ScenarioKey &k : ScenarioKeys()) {
    if (k.path == path) {
      return &k;
    }
  }
  return nullptr;
}

std::string Join(const std::vector<std::string_view> &names) {
  std::string list;
  for (std::string_view n : names) {
    list += (list.empty() ? "" : ", ") + std::string(n);
  }
  return list.empty() ? "none" : list;
}

// `object` at table path `row` and message path `at`.
void CheckObject(const json &object, const std::string &source, const std::string &row,
                 const std::string &at) {
  const std::vector<std::string_view> known = KnownKeysAt(row);
  for (const auto &[key, value] : object.items()) {
    const std::string childRow = row.empty() ? key : row + "." + key;
    const std::string childAt = at.empty() ? key : at + "." + key;
    const ScenarioKey *k = Row(childRow);
    if (k == nullptr) {
      throw ScenarioError(source, childAt, "one of the known keys (" + Join(known) + ")");
    }
    if ((k->shape == KeyShape::kObject || k->shape == KeyShape::kMap) && !value.is_object()) {
      throw ScenarioError(source, childAt, "an object, got " + value.dump().substr(0, 80));
    }
    if (k->shape == KeyShape::kObject) {
      CheckObject(value, source, childRow, childAt);
    } else if (k->shape == KeyShape::kObjectList) {
      if (!value.is_array()) {
        throw ScenarioError(source, childAt, "a list, got " + value.dump().substr(0, 80));
      }
      for (size_t i = 0; i < value.size(); ++i) {
        const std::string elementAt = childAt + "[" + std::to_string(i) + "]";
        if (!value[i].is_object()) {
          throw ScenarioError(source, elementAt,
                              "an object with keys from " + Join(KnownKeysAt(childRow + "[]")) +
                                  ", got " + value[i].dump().substr(0, 80));
        }
        CheckObject(value[i], source, childRow + "[]", elementAt);
      }
    }
  }
}
} // namespace

std::vector<std::string_view> KnownKeysAt(std::string_view path) {
  std::vector<std::string_view> names;
  for (const ScenarioKey &k : ScenarioKeys()) {
    const std::string_view p = k.path;
    if (path.empty()) {
      if (p.find_first_of(".[") == std::string_view::npos) {
        names.push_back(p);
      }
    } else if (p.size() > path.size() + 1 && p.substr(0, path.size()) == path &&
               p[path.size()] == '.' &&
               p.find_first_of(".[", path.size() + 1) == std::string_view::npos) {
      names.push_back(p.substr(path.size() + 1));
    }
  }
  return names;
}

void CheckScenarioKeys(const json &doc, const std::string &source) {
  if (!doc.is_object()) {
    throw ScenarioError(source, "(top level)",
                        "a JSON object with keys from " + Join(KnownKeysAt("")));
  }
  CheckObject(doc, source, "", "");
}

} // namespace sim
