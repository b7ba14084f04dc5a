// Typed hardware registers. A register is a small value type whose fields are declared high:low
// as a datasheet prints them; reading, writing and read-modify-write go through a backend that
// says where the register lives (an I/O port, an MMIO address, or anything else with Read/Write).
//
//   struct SeqClockingMode : RegisterValue<SeqClockingMode, uint8_t> {
//     REG_FIELD(5, 5, ScreenOff);
//   };
//   Modify<SeqClockingMode>(backend, [](SeqClockingMode &r) { r.SetScreenOff(1); });
//
// Freestanding: no heap, no virtual calls; everything folds to the plain masks at compile time.
#pragma once

#include <stdint.h>

#include "access/mmio.h"
#include "access/port_io.h"

// Bits hi:lo of a Word.
template <typename Word, unsigned Hi, unsigned Lo>
struct BitField {
  static_assert(Hi >= Lo && Hi < sizeof(Word) * 8, "field outside its register");
  static constexpr unsigned kWidth = Hi - Lo + 1;
  static constexpr Word kMask = static_cast<Word>(
      (kWidth == sizeof(Word) * 8 ? ~Word{0} : static_cast<Word>((Word{1} << kWidth) - 1)) << Lo);
  static constexpr Word Get(Word word) { return static_cast<Word>((word & kMask) >> Lo); }
  static constexpr Word Put(Word word, Word field) {
    return static_cast<Word>((word & ~kMask) | ((static_cast<Word>(field << Lo)) & kMask));
  }
};

// Base of a typed register value. Derived declares its fields with REG_FIELD.
template <typename Derived, typename WordT>
class RegisterValue {
public:
  using Word = WordT;
  constexpr RegisterValue() = default;
  constexpr explicit RegisterValue(Word raw) : value_(raw) {}
  constexpr Word Raw() const { return value_; }
  constexpr Derived &SetRaw(Word raw) {
    value_ = raw;
    return static_cast<Derived &>(*this);
  }
  static constexpr Derived From(Word raw) {
    Derived d;
    d.SetRaw(raw);
    return d;
  }

protected:
  Word value_ = 0;
};

// Declares field `Name` over bits hi:lo: Name() reads it, SetName(v) replaces it, and
// Name##Field is the BitField type (for masks in tables).
#define REG_FIELD(hi, lo, Name)                                                                    \
  using Name##Field = BitField<Word, hi, lo>;                                                      \
  constexpr Word Name() const { return Name##Field::Get(this->value_); }                           \
  constexpr auto &Set##Name(Word field) {                                                          \
    this->value_ = Name##Field::Put(this->value_, field);                                          \
    return *this;                                                                                  \
  }

// Backends: where a register lives. Each has Read() and Write(value) of its width.
struct IoPort8 {
  uint16_t port;
  uint8_t Read() const { return IoRead8(port); }
  void Write(uint8_t value) const { IoWrite8(port, value); }
};
struct IoPort16 {
  uint16_t port;
  uint16_t Read() const { return IoRead16(port); }
  void Write(uint16_t value) const { IoWrite16(port, value); }
};
struct IoPort32 {
  uint16_t port;
  uint32_t Read() const { return IoRead32(port); }
  void Write(uint32_t value) const { IoWrite32(port, value); }
};
struct Mmio8 {
  uintptr_t address;
  uint8_t Read() const { return MmioRead8(address); }
  void Write(uint8_t value) const { MmioWrite8(address, value); }
};
struct Mmio16 {
  uintptr_t address;
  uint16_t Read() const { return MmioRead16(address); }
  void Write(uint16_t value) const { MmioWrite16(address, value); }
};
struct Mmio32 {
  uintptr_t address;
  uint32_t Read() const { return MmioRead32(address); }
  void Write(uint32_t value) const { MmioWrite32(address, value); }
};

template <typename Reg, typename Backend>
Reg ReadRegister(const Backend &where) {
  return Reg::From(static_cast<typename Reg::Word>(where.Read()));
}

template <typename Reg, typename Backend>
void WriteRegister(const Backend &where, const Reg &value) {
  where.Write(value.Raw());
}

// Read, change, write back: one read and one write of the backend.
template <typename Reg, typename Backend, typename Change>
Reg ModifyRegister(const Backend &where, Change change) {
  Reg value = ReadRegister<Reg>(where);
  change(value);
  WriteRegister(where, value);
  return value;
}
