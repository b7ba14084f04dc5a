// Saved-context exit: SetJump records what the Microsoft x64 convention obliges a callee to
// preserve, plus the stack position and the resume address; LongJump restores it and makes
// SetJump return a second time with a non-zero value. Written in assembly (jump_x64.S) for both
// the host and the firmware build.
#pragma once

#include "uefi/uefi_base.h"

// Field offsets are fixed by jump_x64.S.
struct alignas(16) JumpBuffer {
  UINT64 Rbx, Rsp, Rbp, Rdi, Rsi, R12, R13, R14, R15, Rip; // 0x00..0x48
  UINT32 Mxcsr;                                            // 0x50
  UINT16 FpuControlWord;                                   // 0x54
  UINT16 Reserved0;
  UINT64 Reserved1;
  UINT8 Xmm[10][16]; // XMM6..XMM15, from 0x60
};
static_assert(sizeof(JumpBuffer) == 0x100);

// Returns 0 when called, and the value given to LongJump (never 0) when resumed.
extern "C" __attribute__((returns_twice)) UINTN EFIAPI SetJump(JumpBuffer *context);
// Resumes at the SetJump that filled `context`; a value of 0 is delivered as 1.
extern "C" [[noreturn]] VOID EFIAPI LongJump(JumpBuffer *context, UINTN value);
