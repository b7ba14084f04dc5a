#include "sim/pei/platform_scenario.h"

#include <set>
#include <string>

namespace sim {

using nlohmann::json;

namespace {

constexpr uint32_t kSegmentTableHeaderBytes = 16;
constexpr uint32_t kSegmentTableEntryBytes = 16;
constexpr uint32_t kSegmentTableMemory = 4096; // the most the board sets aside for the table
constexpr uint32_t kMaxBusyReads = 0x10000000;

class Parser {
public:
  explicit Parser(const Scenario &s) : source_(s.source) {}

  [[noreturn]] void Fail(const std::string &key, const std::string &expected) const {
    throw ScenarioError(source_, key, expected);
  }
  const json &Object(const json &v, const std::string &key, const std::set<std::string> &known,
                     const std::string &what) const {
    if (!v.is_object()) {
      Fail(key, what);
    }
    for (const auto &[sub, unused] : v.items()) {
      if (!known.empty() && !known.count(sub)) {
        std::string list;
        for (const std::string &k : known) {
          list += (list.empty() ? "" : ", ") + k;
        }
        Fail(key + "." + sub, "one of " + list);
      }
    }
    return v;
  }
  uint64_t Number(const json &v, const std::string &key, uint64_t max,
                  const std::string &what) const {
    uint64_t n = 0;
    try {
      n = ScenarioNumber(v, source_, key);
    } catch (const ScenarioError &) {
      Fail(key, what + ", got " + v.dump());
    }
    if (n > max) {
      Fail(key, what + ", got " + v.dump());
    }
    return n;
  }
  bool Bool(const json &v, const std::string &key) const {
    if (!v.is_boolean()) {
      Fail(key, "true or false, got " + v.dump());
    }
    return v.get<bool>();
  }

private:
  std::string source_;
};

void ParsePad(const Parser &p, const std::string &code, const json &v, PlatformSetting &out) {
  const std::string key = "pch.pads." + code;
  const uint64_t pad = p.Number(json(code), key, 0xFFFFFFFF, "a pad code such as \"0x01060015\"");
  const uint32_t chipset = static_cast<uint32_t>(pad >> 24);
  const uint32_t group = (pad >> 16) & 0xFF;
  const uint32_t number = pad & 0xFFFF;
  const auto &groups = ServerPchGpioGroups();
  if (chipset != 1 || group >= groups.size() || number >= groups[group].pads) {
    p.Fail(key, "a pad of the server PCH (chipset 1, group 0 to 12, a pad of that group)");
  }
  p.Object(v, key, {"level", "dw0", "dw1", "owner", "hostsw_own", "gpe_en", "locked", "tx_locked"},
           "an object of the pad's power-on state");
  GpioPadPowerOn &s = out.pads[{static_cast<uint8_t>(group), static_cast<uint8_t>(number)}];
  for (const auto &[name, value] : v.items()) {
    const std::string at = key + "." + name;
    if (name == "level") {
      s.level = static_cast<uint8_t>(p.Number(value, at, 1, "0 or 1"));
    } else if (name == "dw0") {
      s.dw0 = static_cast<uint32_t>(p.Number(value, at, 0xFFFFFFFF, "a 32-bit value"));
    } else if (name == "dw1") {
      s.dw1 = static_cast<uint32_t>(p.Number(value, at, 0xFFFFFFFF, "a 32-bit value"));
    } else if (name == "owner") {
      s.owner = static_cast<uint8_t>(p.Number(value, at, 3, "an owner from 0 (host) to 3"));
    } else if (name == "hostsw_own") {
      s.hostsw_own = p.Number(value, at, 1, "0 or 1") != 0;
    } else if (name == "gpe_en") {
      s.gpe_en = p.Number(value, at, 1, "0 or 1") != 0;
    } else if (name == "locked") {
      s.locked = p.Bool(value, at);
    } else {
      s.tx_locked = p.Bool(value, at);
    }
  }
}

void ParsePch(const Parser &p, const json &pch, PlatformSetting &out) {
  p.Object(pch, "pch", {"device_id", "p2sb_hidden", "pads", "sideband"},
           "an object with device_id, p2sb_hidden, pads, sideband");
  if (pch.contains("device_id")) {
    out.pch_device_id = static_cast<uint16_t>(
        p.Number(pch["device_id"], "pch.device_id", 0xFFFF, "a 16-bit device ID"));
  }
  if (pch.contains("p2sb_hidden")) {
    out.sideband.hidden = p.Bool(pch["p2sb_hidden"], "pch.p2sb_hidden");
  }
  if (pch.contains("pads")) {
    p.Object(pch["pads"], "pch.pads", {}, "an object of pad codes to pad states");
    for (const auto &[code, value] : pch["pads"].items()) {
      ParsePad(p, code, value, out);
    }
  }
  if (pch.contains("sideband")) {
    const json &sb = p.Object(pch["sideband"], "pch.sideband", {"busy_reads", "stuck", "status"},
                              "an object with busy_reads, stuck, status");
    if (sb.contains("busy_reads")) {
      out.sideband.busy_reads =
          static_cast<uint32_t>(p.Number(sb["busy_reads"], "pch.sideband.busy_reads", kMaxBusyReads,
                                         "a count of status reads up to 0x10000000"));
    }
    if (sb.contains("stuck")) {
      out.sideband.stuck = p.Bool(sb["stuck"], "pch.sideband.stuck");
    }
    if (sb.contains("status")) {
      out.sideband.status = static_cast<uint8_t>(
          p.Number(sb["status"], "pch.sideband.status", 3, "a response status from 0 to 3"));
    }
  }
}

std::array<uint8_t, 4> Ipv4(const Parser &p, const json &v, const std::string &key) {
  const std::string expected = "a dotted IPv4 address such as \"192.168.1.100\"";
  if (!v.is_string()) {
    p.Fail(key, expected + ", got " + v.dump());
  }
  const std::string text = v.get<std::string>();
  std::array<uint8_t, 4> ip{};
  size_t at = 0;
  for (size_t i = 0; i < 4; ++i) {
    size_t digits = 0;
    unsigned value = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 3) {
      value = value * 10 + static_cast<unsigned>(text[at++] - '0');
      ++digits;
    }
    const bool separatorOk = i == 3 ? at == text.size() : at < text.size() && text[at++] == '.';
    if (digits == 0 || value > 255 || !separatorOk) {
      p.Fail(key, expected + ", got " + v.dump());
    }
    ip[i] = static_cast<uint8_t>(value);
  }
  return ip;
}

void ParseBmc(const Parser &p, const json &bmc, PlatformSetting &out) {
  p.Object(bmc, "bmc", {"lan"}, "an object with lan");
  if (!bmc.contains("lan")) {
    return;
  }
  p.Object(bmc["lan"], "bmc.lan", {}, "an object of LAN channel numbers to channels");
  out.lan.clear();
  for (const auto &[channel, value] : bmc["lan"].items()) {
    const std::string key = "bmc.lan." + channel;
    const bool decimal = !channel.empty() && channel.size() <= 2 &&
                         channel.find_first_not_of("0123456789") == std::string::npos;
    if (!decimal || std::stoul(channel) < 1 || std::stoul(channel) > 15) {
      p.Fail(key, "a LAN channel number from 1 to 15");
    }
    p.Object(value, key, {"ip", "set_in_progress", "fail", "short_response"},
             "an object with ip, set_in_progress, fail, short_response");
    Bmc::LanChannel lan;
    for (const auto &[name, v] : value.items()) {
      const std::string at = key + "." + name;
      if (name == "ip") {
        lan.ip = Ipv4(p, v, at);
      } else if (name == "set_in_progress") {
        lan.set_in_progress = static_cast<uint8_t>(p.Number(v, at, 3, "0 to 3"));
      } else if (name == "fail") {
        lan.fail = p.Bool(v, at);
      } else {
        lan.short_response = p.Bool(v, at);
      }
    }
    out.lan[static_cast<uint8_t>(std::stoul(channel))] = lan;
  }
}

void ParseSegmentTable(const Parser &p, const json &t, PlatformSetting &out) {
  p.Object(t, "pcd.segment_table", {"length", "entries"}, "an object with length, entries");
  const uint32_t maxEntries =
      (kSegmentTableMemory - kSegmentTableHeaderBytes) / kSegmentTableEntryBytes;
  SegmentTableSetting table{};
  if (t.contains("entries")) {
    const json &e = t["entries"];
    if (!e.is_array() || e.size() > maxEntries) {
      p.Fail("pcd.segment_table.entries",
             "a list of at most " + std::to_string(maxEntries) + " ECAM bases");
    }
    for (size_t i = 0; i < e.size(); ++i) {
      table.bases.push_back(p.Number(e[i], "pcd.segment_table.entries[" + std::to_string(i) + "]",
                                     ~0ull, "a 64-bit ECAM base"));
    }
  }
  table.length = static_cast<uint32_t>(kSegmentTableHeaderBytes +
                                       kSegmentTableEntryBytes * table.bases.size());
  if (t.contains("length")) {
    table.length =
        static_cast<uint32_t>(p.Number(t["length"], "pcd.segment_table.length", kSegmentTableMemory,
                                       "a table length in bytes up to 4096"));
  }
  out.segment_table = table;
}

} // namespace

PlatformSetting ParsePlatformSetting(const Scenario &scenario) {
  const Parser p(scenario);
  PlatformSetting out;
  const json &raw = scenario.raw;
  if (raw.contains("pch")) {
    ParsePch(p, raw["pch"], out);
  }
  if (raw.contains("bmc")) {
    ParseBmc(p, raw["bmc"], out);
  }
  if (raw.contains("pcd") && raw["pcd"].is_object() && raw["pcd"].contains("segment_table")) {
    if (raw["pcd"].contains("6")) {
      p.Fail("pcd.segment_table", "either segment_table or token 6, not both");
    }
    ParseSegmentTable(p, raw["pcd"]["segment_table"], out);
  }
  return out;
}

} // namespace sim
