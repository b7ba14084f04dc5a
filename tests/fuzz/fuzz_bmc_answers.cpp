// The BMC's answers, and what the module makes of them. The first input byte picks one of two
// checks:
//   even: the BMC model behind the transport PPI, with LAN channels taken from the input, on
//         arbitrary requests: the caller's buffer is exactly its capacity long (so ASan sees any
//         write past it), a completion code other than 0 or an answer longer than the buffer is
//         an error with nothing handed back, and a good Get LAN Configuration Parameters request
//         gets the configured data; then the module's two exchanges for channels from the input
//         must give what the configuration says.
//   odd:  a transport that answers with arbitrary statuses, claimed sizes and bytes: the module's
//         text is always a terminated dotted address no longer than 15 characters, formatted
//         only from bytes that came, and left alone on failure.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "modules/boot_progress_pei/progress/bmc_lan.h"
#include "sim/core/bus.h"
#include "sim/devices/bmc/bmc.h"
#include "sim/pei/ipmi_transport.h"

namespace {

// Consumes bytes from the front of the input; past its end everything reads as zero.
struct Reader {
  const uint8_t *data;
  size_t size;
  uint8_t Byte() {
    if (size == 0) {
      return 0;
    }
    --size;
    return *data++;
  }
};

void Check(bool ok, const char *what) {
  if (!ok) {
    std::fprintf(stderr, "check failed: %s\n", what);
    std::abort();
  }
}

std::string Dotted(const uint8_t *b) {
  return std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." +
         std::to_string(b[3]);
}

void CheckText(const CHAR8 (&text)[kBmcAddressTextSize]) {
  const size_t length = strnlen(text, kBmcAddressTextSize);
  Check(length < kBmcAddressTextSize, "the text is terminated within its buffer");
  for (size_t i = 0; i < length; ++i) {
    Check((text[i] >= '0' && text[i] <= '9') || text[i] == '.', "only digits and dots");
  }
}

// The BMC model's side.
void ModelAnswers(Reader &in) {
  constexpr uint8_t kFill = 0xA5; // what the caller's buffer holds before the call
  sim::Bmc::LanChannels lan;
  const uint16_t present = static_cast<uint16_t>(in.Byte() | (in.Byte() << 8));
  for (uint8_t channel = 1; channel <= 15; ++channel) {
    if ((present >> channel & 1u) == 0) {
      continue;
    }
    sim::Bmc::LanChannel c;
    for (uint8_t &b : c.ip) {
      b = in.Byte();
    }
    const uint8_t flags = in.Byte();
    c.set_in_progress = flags & 3;
    c.fail = (flags & 4) != 0;
    c.short_response = (flags & 8) != 0;
    lan[channel] = c;
  }
  sim::Clock clock;
  sim::Bus bus(clock);
  sim::Bmc bmc(bus, lan);
  sim::IpmiTransport transport(bmc);
  IPMI_TRANSPORT_PPI *ppi = transport.Ppi();

  const unsigned requests = in.Byte() % 8;
  for (unsigned r = 0; r < requests; ++r) {
    const uint8_t netFn = in.Byte() & 1 ? 0x0C : in.Byte();
    const uint8_t lun = in.Byte() & 3;
    const uint8_t command = in.Byte() & 1 ? 0x02 : in.Byte();
    std::vector<uint8_t> request(in.Byte() % 9);
    for (uint8_t &b : request) {
      b = in.Byte();
    }
    const uint8_t capacity = in.Byte() % 8;
    std::vector<uint8_t> response(capacity, kFill);
    UINT8 size = capacity;
    const size_t before = bmc.Exchanges().size();
    const EFI_STATUS status =
        ppi->IpmiSubmitCommand(ppi, netFn, lun, command, request.data(),
                               static_cast<UINT32>(request.size()), response.data(), &size);
    Check(bmc.Exchanges().size() == before + 1, "every call is one exchange");
    const sim::Bmc::Answer &answer = bmc.Exchanges().back().answer;
    const bool untouched = size == capacity && std::all_of(response.begin(), response.end(),
                                                           [](uint8_t b) { return b == kFill; });
    if (answer.completion != 0) {
      Check(status == EFI_DEVICE_ERROR && untouched, "an error completion hands nothing back");
      Check(answer.data.empty(), "an error completion carries no data");
      continue;
    }
    Check(status == (answer.data.size() > capacity ? EFI_BUFFER_TOO_SMALL : EFI_SUCCESS),
          "too small exactly when the answer is longer");
    if (status == EFI_SUCCESS) {
      Check(size == answer.data.size() &&
                (size == 0 || std::memcmp(response.data(), answer.data.data(), size) == 0),
            "the answer's bytes");
    } else {
      Check(untouched, "a buffer too small is left as it was");
    }
    Check(netFn == 0x0C && command == 0x02 && request.size() == 4, "only a good request passes");
    const auto it = lan.find(request[0] & 0x0F);
    Check(it != lan.end() && !it->second.fail, "only a channel that answers");
    Check(answer.data.empty() ? it->second.short_response : answer.data[0] == 0x11,
          "revision first");
  }

  // The module's exchanges against what the configuration says.
  for (int ask = 0; ask < 2; ++ask) {
    const uint8_t channel = in.Byte();
    const auto it = lan.find(channel & 0x0F);
    const bool answers = it != lan.end() && !it->second.fail && (channel & 0x70) == 0;
    const bool full = answers && !it->second.short_response && (channel & 0x80) == 0;
    const EFI_STATUS set = CheckLanSetComplete(ppi, channel);
    const bool anyChannel = it != lan.end() && !it->second.fail && !it->second.short_response;
    Check(EFI_ERROR(set) == !(anyChannel && it->second.set_in_progress == 0),
          "set complete only for a settled channel that answers in full");
    CHAR8 text[kBmcAddressTextSize];
    std::memset(text, 'x', sizeof text);
    text[0] = 0;
    const EFI_STATUS got = GetLanIpAddressText(ppi, channel, text);
    Check(EFI_ERROR(got) == !full, "an address only from a full answer");
    CheckText(text);
    Check(full ? text == Dotted(it->second.ip.data()) : text[0] == 0, "the configured address");
  }
}

// A transport whose answers come from the input.
struct FuzzTransport {
  IPMI_TRANSPORT_PPI ppi{};
  Reader *in;
  EFI_STATUS status = 0;
  UINT8 claimed = 0;
  std::array<uint8_t, 8> written{};
  size_t written_count = 0;

  static EFI_STATUS EFIAPI Submit(IPMI_TRANSPORT_PPI *self, UINT8, UINT8, UINT8, UINT8 *, UINT32,
                                  UINT8 *response, UINT8 *size) {
    auto *t = reinterpret_cast<FuzzTransport *>(self);
    static constexpr EFI_STATUS kStatuses[] = {EFI_SUCCESS,          EFI_SUCCESS,
                                               EFI_DEVICE_ERROR,     EFI_TIMEOUT,
                                               EFI_BUFFER_TOO_SMALL, 1 /* a warning */};
    t->status = kStatuses[t->in->Byte() % 6];
    t->written_count = t->in->Byte() % (*size + 1u); // a transport writes within the buffer
    for (size_t i = 0; i < t->written_count; ++i) {
      t->written[i] = response[i] = t->in->Byte();
    }
    t->claimed = t->in->Byte() & 1 ? static_cast<UINT8>(t->written_count) : t->in->Byte();
    *size = t->claimed;
    return t->status;
  }
};

void TransportAnswers(Reader &in) {
  FuzzTransport t;
  t.ppi.IpmiSubmitCommand = FuzzTransport::Submit;
  t.in = &in;
  const EFI_STATUS set = CheckLanSetComplete(&t.ppi, in.Byte());
  const bool setOk =
      !EFI_ERROR(t.status) && t.claimed >= 2 && t.written_count >= 2 && (t.written[1] & 3) == 0;
  if (!EFI_ERROR(set)) {
    Check(!EFI_ERROR(t.status) && t.claimed >= 2, "success needs a successful, full answer");
    Check(t.written_count < 2 || setOk, "success needs a settled channel");
  }
  CHAR8 text[kBmcAddressTextSize] = "7.7.7.7";
  const EFI_STATUS got = GetLanIpAddressText(&t.ppi, in.Byte(), text);
  CheckText(text);
  if (EFI_ERROR(got)) {
    Check(std::strcmp(text, "7.7.7.7") == 0, "a failure leaves the text alone");
    return;
  }
  Check(!EFI_ERROR(t.status) && t.claimed >= 5, "an address needs a successful, full answer");
  if (t.written_count >= 5) {
    Check(text == Dotted(&t.written[1]), "formatted from the bytes that came");
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  Reader in{data, size};
  if (in.Byte() % 2 == 0) {
    ModelAnswers(in);
  } else {
    TransportAnswers(in);
  }
  return 0;
}
