// The memory-topology GUID HOB as memory initialisation leaves it: byte-packed socket, channel
// and DIMM blocks at odd strides. Only two bytes of each DIMM entry are read, the first and the
// last; the slot is populated when both are non-zero. Offsets count from the HOB's first byte.
#pragma once

#include "uefi/uefi_base.h"

struct MemoryTopologyLayout {
  static constexpr UINT32 kSockets = 4;
  static constexpr UINT32 kChannelsPerSocket = 6;
  static constexpr UINT32 kSlotsPerChannel = 2;

  static constexpr UINTN kFirstSocket = 0x14C4;
  static constexpr UINTN kSocketStride = 0x1479;
  static constexpr UINTN kChannelStride = 0x1FF;
  static constexpr UINTN kDimmStride = 0xA0;
  static constexpr UINTN kDimmFirstByte = 0x00;
  static constexpr UINTN kDimmLastByte = 0x9F;

  static constexpr UINTN DimmOffset(UINT32 socket, UINT32 channel, UINT32 slot) {
    return kFirstSocket + socket * kSocketStride + channel * kChannelStride + slot * kDimmStride;
  }
  // A HOB this long holds every entry; the last byte read is socket 3, channel 5, slot 1, 0x9F.
  static constexpr UINTN kFullLength = 0x5D6A;
};
static_assert(MemoryTopologyLayout::DimmOffset(3, 5, 1) + MemoryTopologyLayout::kDimmLastByte + 1 ==
              MemoryTopologyLayout::kFullLength);
