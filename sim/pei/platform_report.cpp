#include "sim/pei/platform_report.h"
#include "sim/core/hex_text.h"

#include <cstdio>
#include <string>

namespace sim {

using nlohmann::json;

namespace {
json PadJson(const GpioCommunity::PadRegisters &r) {
  return {{"dw0", Hex(r.dw0, 8)},       {"dw1", Hex(r.dw1, 8)},
          {"owner", r.owner},           {"hostsw_own", r.hostsw_own ? 1 : 0},
          {"gpe_en", r.gpe_en ? 1 : 0}, {"locked", r.locked},
          {"tx_locked", r.tx_locked}};
}

json StrapJson(PlatformHardware &p) {
  GpioCommunity &c = p.Community(kAddressStrapGroup);
  const GpioCommunity::PadInputReads reads = c.InputReads(kAddressStrapGroup, kAddressStrapPad);
  const uint32_t code = (1u << 24) | (uint32_t{kAddressStrapGroup} << 16) | kAddressStrapPad;
  return {{"pad", Hex(code, 8)},
          {"level", c.PadLevel(kAddressStrapGroup, kAddressStrapPad)},
          {"level_read", reads.last_level_read < 0 ? json(nullptr) : json(reads.last_level_read)},
          {"dw0_reads", reads.dw0_reads},
          {"before", PadJson(p.StrapPadAtPowerOn())},
          {"after", PadJson(p.StrapPad())}};
}

json PchJson(PlatformHardware &p) {
  json messages = json::array();
  for (const P2sb::Delivered &m : p.p2sb.Messages()) {
    messages.push_back({{"port", Hex(m.request.port, 2)},
                        {"opcode", Hex(m.request.opcode, 2)},
                        {"offset", Hex(m.request.offset, 4)},
                        {"data", Hex(m.request.data, 8)},
                        {"status", m.status}});
  }
  return {{"device_id", Hex(p.setting.pch_device_id, 4)},
          {"post_code", Hex(p.lpc.PostCode(), 2)},
          {"p2sb_hidden", p.p2sb.Hidden()},
          {"sideband_messages", messages}};
}

json BmcJson(const Bmc &bmc) {
  json exchanges = json::array();
  for (const Bmc::Logged &e : bmc.Exchanges()) {
    const bool lanConfig = e.netfn == Bmc::kNetFnTransport && e.command == Bmc::kCmdGetLanConfig;
    exchanges.push_back(
        {{"t_us", e.t_us},
         {"netfn", Hex(e.netfn, 2)},
         {"command", Hex(e.command, 2)},
         {"channel", lanConfig && e.request.size() > 0 ? json(e.request[0]) : json(nullptr)},
         {"parameter", lanConfig && e.request.size() > 1 ? json(e.request[1]) : json(nullptr)},
         {"completion", Hex(e.answer.completion, 2)},
         {"bytes", e.answer.data}});
  }
  return {{"exchanges", exchanges}};
}
} // namespace

json PlatformReport(PlatformHardware &platform) {
  return {
      {"strap", StrapJson(platform)}, {"pch", PchJson(platform)}, {"bmc", BmcJson(platform.bmc)}};
}

} // namespace sim
