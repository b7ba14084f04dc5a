// Text formatting into a caller's byte buffer: percent directives for numbers (%d %i %x %X %p, %l
// for 64-bit), strings (%s %a %S), characters (%c), GUIDs (%g %G) and status names (%r), with an
// optional '0' pad flag and a width (digits or '*') that numbers are padded to. No allocation, no
// firmware service, no division routine.
//
// Output limit: the buffer's size including the terminator. At most limit - 1 characters are
// written and the text is always terminated; a limit of 1 writes only the terminator. Limit 0
// (kFormatNoLimit, what FormatToBuffer passes) means the caller vouches for the buffer, so it is
// only for formats whose longest output is known.
//
// Arguments: an explicit list of 32-bit slots, identical in the IA32 image and in 64-bit host
// builds. A number takes one slot, a 64-bit number two (low word first), an asterisk width one.
// Addresses never travel in a slot: on a 64-bit host they do not fit in 32 bits, and a slot read
// as an address could point anywhere. A string or GUID argument is an entry in a separate table
// of typed pointers, and its slot holds the entry's number counting from 1. A string or GUID
// directive uses the entry only when the number is in the table and the entry's kind matches the
// directive; anything else (0, a number past the table, another kind, a null address) writes
// nothing. A slot past the end of the list reads as 0. So no format and no slot contents make the
// engine read memory it was not handed, nor write past the limit.
//
// The variadic wrappers build that list at compile time from their arguments' C++ types: an
// integer of up to 32 bits takes one slot (a signed one sign-extended, as C promotes it),
// FormatWide(v) two, `const CHAR8 *`, `const UINT16 *` (16-bit text) and `const EFI_GUID *` a
// table entry. A plain 64-bit integer is refused at compile time: UINTN is 32 bits in the image
// and 64 on the host, so its slot count would differ between the two builds.
#pragma once

#include "uefi/uefi_base.h"

constexpr UINT32 kFormatNoLimit = 0;
// FormatNumber's buffer: 19 digits of the largest 64-bit signed magnitude, a sign, the
// terminator, rounded up.
constexpr UINT32 kNumberTextSize = 24;

enum class FormatPointerKind : UINT8 { Text8, Text16, Guid };

struct FormatPointer {
  const VOID *Address;
  FormatPointerKind Kind;
};

// The argument cursor: the slots, the pointer table, and the next slot to read.
struct FormatArgs {
  const UINT32 *Slots;
  UINT32 SlotCount;
  const FormatPointer *Pointers;
  UINT32 PointerCount;
  UINT32 Next;
};

// A 64-bit number, for a directive with the l modifier.
struct FormatWide {
  UINT64 Value;
};

// Conversion families, as bits of a set: the engine carries the code of a family only where a
// format may use it.
enum FormatConversions : UINT32 {
  kFormatNumbers = 1u << 0, // d i x X p
  kFormatText8 = 1u << 1,   // s a
  kFormatText16 = 1u << 2,  // S
  kFormatGuids = 1u << 3,   // g G
  kFormatStatus = 1u << 4,  // r
  kFormatAllConversions = 0x1Fu,
};

// The families whose letters occur anywhere in `text`: a superset of the conversions `text` uses.
constexpr UINT32 FormatConversionsIn(const CHAR8 *text, UINT32 length) {
  UINT32 found = 0;
  for (UINT32 i = 0; i < length; ++i) {
    switch (text[i]) {
    case 'd':
    case 'i':
    case 'x':
    case 'X':
    case 'p':
      found |= kFormatNumbers;
      break;
    case 's':
    case 'a':
      found |= kFormatText8;
      break;
    case 'S':
      found |= kFormatText16;
      break;
    case 'g':
    case 'G':
      found |= kFormatGuids;
      break;
    case 'r':
      found |= kFormatStatus;
      break;
    default:
      break;
    }
  }
  return found;
}

// A format and the conversion families it may use. A string literal is scanned at compile time,
// so a build whose formats are all literals carries only the conversions they name (the image's
// one format needs numbers alone); any other format may use them all.
class FormatText {
public:
  template <UINT32 N>
  consteval FormatText(const CHAR8 (&text)[N])
      : text_(text), conversions_(FormatConversionsIn(text, N)) {}
  template <typename T>
  requires requires(T text) { static_cast<const CHAR8 *>(text); }
  constexpr FormatText(T text)
      : text_(static_cast<const CHAR8 *>(text)), conversions_(kFormatAllConversions) {}

  const CHAR8 *Text() const { return text_; }
  UINT32 Conversions() const { return conversions_; }

private:
  const CHAR8 *text_;
  UINT32 conversions_;
};

// The engine. Writes `format` with the arguments from `args` (null: no arguments) into `buffer`
// and returns the number of characters written, without the terminator. Returns -1 and writes
// nothing when the buffer or the format is null. Only the conversion families in `conversions`
// are written as such; the format must use no other (FormatText's set guarantees it).
INT32 FormatToBufferWith(FormatArgs *args, const CHAR8 *format, CHAR8 *buffer, UINT32 limit,
                         UINT32 conversions);

// The engine with every conversion.
inline INT32 FormatToBufferV(FormatArgs *args, const CHAR8 *format, CHAR8 *buffer, UINT32 limit) {
  return FormatToBufferWith(args, format, buffer, limit, kFormatAllConversions);
}

// The name of a UEFI status code, or null when it has none.
const CHAR8 *StatusName(UINT32 status);

// Writes `value` in base 10 or 16 (any other base counts as 10), least digit last, with a minus
// sign for a negative decimal, and a terminator; returns the number of characters. Without
// `is64` only the low 32 bits count: signed for base 10, unsigned for base 16.
UINT32 FormatNumber(UINT64 value, UINT32 base, BOOLEAN is64, CHAR8 (&text)[kNumberTextSize]);

// Changes a to z into A to Z in place.
VOID UpperCase(CHAR8 *text);

namespace format_detail {

template <typename T>
struct IsInteger {
  static constexpr bool value = false;
};
#define FORMAT_INTEGER_TYPE(T)                                                                     \
  template <>                                                                                      \
  struct IsInteger<T> {                                                                            \
    static constexpr bool value = true;                                                            \
  }
FORMAT_INTEGER_TYPE(bool);
FORMAT_INTEGER_TYPE(char);
FORMAT_INTEGER_TYPE(signed char);
FORMAT_INTEGER_TYPE(unsigned char);
FORMAT_INTEGER_TYPE(short);
FORMAT_INTEGER_TYPE(unsigned short);
FORMAT_INTEGER_TYPE(int);
FORMAT_INTEGER_TYPE(unsigned int);
FORMAT_INTEGER_TYPE(long);
FORMAT_INTEGER_TYPE(unsigned long);
FORMAT_INTEGER_TYPE(long long);
FORMAT_INTEGER_TYPE(unsigned long long);
#undef FORMAT_INTEGER_TYPE

// The slots and pointer table for `Count` arguments (each at most two slots or one entry).
template <UINT32 Count>
class ArgumentList {
public:
  template <typename T>
  void Add(T value) {
    static_assert(IsInteger<T>::value, "format arguments are integers, text, GUIDs or FormatWide");
    static_assert(sizeof(T) <= sizeof(UINT32),
                  "pass a 64-bit number as FormatWide(value) with %l; UINTN differs per build");
    slots_[slot_count_++] = static_cast<UINT32>(value);
  }
  template <typename T>
  void Add(T *pointer) {
    AddPointer(static_cast<const T *>(pointer));
  }
  void Add(FormatWide wide) {
    slots_[slot_count_++] = static_cast<UINT32>(wide.Value);
    slots_[slot_count_++] = static_cast<UINT32>(wide.Value >> 32);
  }
  void Add(decltype(nullptr)) { AddEntry(nullptr, FormatPointerKind::Text8); }

  FormatArgs Cursor() const { return {slots_, slot_count_, pointers_, pointer_count_, 0}; }

private:
  void AddPointer(const CHAR8 *text) { AddEntry(text, FormatPointerKind::Text8); }
  void AddPointer(const UINT16 *text) { AddEntry(text, FormatPointerKind::Text16); }
  void AddPointer(const EFI_GUID *guid) { AddEntry(guid, FormatPointerKind::Guid); }
  void AddEntry(const VOID *address, FormatPointerKind kind) {
    pointers_[pointer_count_++] = {address, kind};
    slots_[slot_count_++] = pointer_count_; // entry numbers count from 1
  }

  // One spare element each, so that no array is ever empty. Only the elements Add fills are
  // read (the cursor's counts bound them), so the arrays are not cleared first.
  UINT32 slots_[2 * Count + 1];
  FormatPointer pointers_[Count + 1];
  UINT32 slot_count_ = 0;
  UINT32 pointer_count_ = 0;
};

} // namespace format_detail

// Formats with the output limit `limit` (see above).
template <typename... Args>
INT32 FormatToBufferN(CHAR8 *buffer, UINT32 limit, FormatText format, Args... args) {
  format_detail::ArgumentList<sizeof...(Args)> list;
  (list.Add(args), ...);
  FormatArgs cursor = list.Cursor();
  return FormatToBufferWith(&cursor, format.Text(), buffer, limit, format.Conversions());
}

// Formats without a limit: the caller's buffer must hold the longest text the format can give.
template <typename... Args>
INT32 FormatToBuffer(CHAR8 *buffer, FormatText format, Args... args) {
  return FormatToBufferN(buffer, kFormatNoLimit, format, args...);
}
