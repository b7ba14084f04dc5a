// The PEI core on 32-bit guest memory without an emulator: descriptors, GUIDs, out-parameters and
// the HOB list at 32-bit addresses, callbacks called with the guest's addresses. The same core
// serves host builds with 64-bit pointers (tests/sim/pei_core_test.cpp).
#include <gtest/gtest.h>

#include <cstring>

#include "sim/core/guest_memory.h"
#include "sim/pei/pei_core.h"

namespace {

constexpr uint64_t kBase = 0x10000;
constexpr size_t kSize = 0x20000;
constexpr size_t kHobBytes = 0x1000;
constexpr uint64_t kFunctions = 0xF000; // where the table entries point

class Memory32 final : public sim::GuestMemory {
public:
  unsigned PointerSize() const override { return 4; }
  void Read(uint64_t a, void *out, size_t n) const override {
    std::memcpy(out, bytes.data() + (a - kBase), n);
  }
  void Write(uint64_t a, const void *in, size_t n) override {
    std::memcpy(bytes.data() + (a - kBase), in, n);
  }
  bool IsRam(uint64_t a, size_t n) const override { return a >= kBase && a - kBase + n <= kSize; }
  std::vector<uint8_t> bytes = std::vector<uint8_t>(kSize, 0);
};

struct Notify {
  uint64_t function, services, descriptor, ppi;
};

class Binding32 final : public sim::PeiCoreBinding {
public:
  sim::GuestMemory &Memory() override { return memory; }
  uint64_t Allocate(size_t size) override {
    const uint64_t at = next;
    next += (size + 7) & ~size_t{7};
    return at;
  }
  uint64_t Function(sim::PeiFunction f) override {
    return kFunctions + 4 * static_cast<uint64_t>(f);
  }
  HobMemory HobArea(size_t) override { return {memory.bytes.data(), kBase}; }
  void PublishServices(uint64_t) override {}
  EFI_STATUS CallEntry(uint64_t, uint64_t, uint64_t) override { return EFI_SUCCESS; }
  EFI_STATUS CallNotify(uint64_t function, uint64_t services, uint64_t descriptor,
                        uint64_t ppi) override {
    notifies.push_back({function, services, descriptor, ppi});
    return EFI_SUCCESS;
  }
  Memory32 memory;
  uint64_t next = kBase + kHobBytes;
  std::vector<Notify> notifies;
};

uint32_t U32(const Memory32 &m, uint64_t a) { return static_cast<uint32_t>(m.ReadUint(a, 4)); }

TEST(PeiCoreOn32BitMemory, TablesDescriptorsAndResultsUse32BitPointers) {
  sim::Machine machine;
  Binding32 binding;
  sim::PeiCore core(machine, 0x11, kHobBytes, &binding);
  Memory32 &m = binding.memory;

  // The services pointer leads to a table of 4-byte entries after the 24-byte header.
  const uint64_t table = U32(m, core.ServicesAddress());
  EXPECT_EQ(m.ReadUint(table, 8), PEI_SERVICES_SIGNATURE);
  EXPECT_EQ(U32(m, table + 24 + 0 * 4), binding.Function(sim::PeiFunction::InstallPpi));
  EXPECT_EQ(U32(m, table + 24 + 15 * 4), binding.Function(sim::PeiFunction::SetMem));

  // A guest notify list and PPI list of 12-byte descriptors.
  const EFI_GUID guid = {0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
  const uint64_t g = 0x18000, notify = 0x18100, ppis = 0x18200;
  m.Write(g, &guid, sizeof guid);
  m.WriteUint(notify,
              EFI_PEI_PPI_DESCRIPTOR_NOTIFY_CALLBACK | EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST, 4);
  m.WriteUint(notify + 4, g, 4);
  m.WriteUint(notify + 8, 0x4000, 4);
  m.WriteUint(ppis, EFI_PEI_PPI_DESCRIPTOR_PPI, 4);
  m.WriteUint(ppis + 4, g, 4);
  m.WriteUint(ppis + 8, 0x5000, 4);
  m.WriteUint(ppis + 12, EFI_PEI_PPI_DESCRIPTOR_PPI | EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST, 4);
  m.WriteUint(ppis + 16, g, 4);
  m.WriteUint(ppis + 20, 0x6000, 4);
  ASSERT_EQ(core.NotifyPpiAt(notify), EFI_SUCCESS);
  ASSERT_EQ(core.InstallPpiAt(ppis), EFI_SUCCESS);
  ASSERT_EQ(binding.notifies.size(), 2u);
  EXPECT_EQ(binding.notifies[0].function, 0x4000u);
  EXPECT_EQ(binding.notifies[0].descriptor, notify);
  EXPECT_EQ(binding.notifies[0].ppi, 0x5000u);
  EXPECT_EQ(binding.notifies[1].ppi, 0x6000u);
  EXPECT_EQ(binding.notifies[1].services, core.ServicesAddress());

  // Out-parameters are 4-byte pointers; the words beside them stay untouched.
  const uint64_t out = 0x18300;
  m.WriteUint(out + 4, 0xA5A5A5A5, 4);
  ASSERT_EQ(core.LocatePpiAt(g, 1, 0, out), EFI_SUCCESS);
  EXPECT_EQ(U32(m, out), 0x6000u);
  EXPECT_EQ(U32(m, out + 4), 0xA5A5A5A5u);
  ASSERT_EQ(core.GetBootModeAt(out), EFI_SUCCESS);
  EXPECT_EQ(U32(m, out), 0x11u);

  // The HOB list sits in guest memory, its PHIT and HOB pointers are guest addresses.
  ASSERT_EQ(core.GetHobListAt(out), EFI_SUCCESS);
  EXPECT_EQ(U32(m, out), kBase);
  ASSERT_EQ(core.CreateHobAt(EFI_HOB_TYPE_GUID_EXTENSION, 28, out), EFI_SUCCESS);
  const uint64_t hob = U32(m, out);
  EXPECT_GT(hob, kBase);
  EXPECT_LT(hob, kBase + kHobBytes);
  EXPECT_EQ(m.ReadUint(hob, 2), EFI_HOB_TYPE_GUID_EXTENSION);
  EXPECT_EQ(m.ReadUint(kBase + offsetof(EFI_HOB_HANDOFF_INFO_TABLE, EfiEndOfHobList), 8), hob + 32);

  // SetMem on guest RAM writes guest memory, not the bus.
  core.SetMemAt(0x18400, 6, 0x3C);
  EXPECT_EQ(m.bytes[0x18405 - kBase], 0x3C);
  EXPECT_EQ(machine.bus.Counts().mmio.writes, 0u);
}

} // namespace
