// Typed hardware registers. A register is a small value type whose fields are declared high:low
// as a datasheet prints them. Code that already has the raw word builds the value with From()
// and takes Raw() back, or uses a field's mask and Get/Put directly; ReadRegister, WriteRegister
// and ModifyRegister go through a backend that says where the register lives: Mmio16 and Mmio32
// here, or any type with Read() and Write(value) of the register's width, such as a module's own
// register window.
//
//   struct SbiStatus : RegisterValue<SbiStatus, uint16_t> {
//     REG_FIELD(0, 0, Busy);
//   };
//   ModifyRegister<SbiStatus>(Mmio16{status}, [](SbiStatus &s) { s.SetBusy(1); });
//
// Freestanding: no heap, no virtual calls; everything folds to the plain masks at compile time.
#pragma once

#include <stdint.h>

#include "access/mmio.h"

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

// Backends: a register in memory-mapped space. Each has Read() and Write(value) of its width.
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
