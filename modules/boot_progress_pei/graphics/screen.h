// The boot screen: 800 x 600, one palette index per pixel, row pitch 800, row 0 at the top, at
// the fixed address where bring-up places the controller's frame buffer.
#pragma once

#include <stdint.h>

constexpr uintptr_t kFrameBufferBase = 0xA0000000;
constexpr uint32_t kScreenWidth = 800;
constexpr uint32_t kScreenHeight = 600;
constexpr uint32_t kScreenPitch = 800;
constexpr uint32_t kFrameBufferSize = kScreenPitch * kScreenHeight; // 480000 bytes
