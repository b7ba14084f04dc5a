// The formatting engine, number conversion and upper-casing. 64-bit values are divided by a
// 64-step shift-and-subtract loop: the IA32 image links no 64-bit division routine.
#include "modules/boot_progress_pei/platform/text_format.h"

namespace {

constexpr CHAR8 kDigits[] = "0123456789abcdef";
constexpr UINT32 kDecimal = 10;
constexpr UINT32 kHexadecimal = 16;
constexpr UINT32 kWidthMax = 0xFFFFFFFFu; // a longer run of width digits saturates here
constexpr UINT32 kValueBits = 64;

// An unnamed status: Status Code(8000001F).
constexpr CHAR8 kStatusCodeOpen[] = "Status Code(";
constexpr CHAR8 kStatusCodeClose[] = ")";

// A GUID as text: its 16 bytes in the order they are written, and the dashes between them
// (before text bytes 4, 6, 8 and 10). The first three fields are little-endian numbers, written
// most significant byte first; the last eight bytes are written as they are stored.
constexpr UINT8 kGuidTextByteOrder[] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
constexpr UINT32 kGuidFirstDash = 4;
constexpr UINT32 kGuidLastDash = 10;
constexpr UINT32 kGuidTextSize = 37; // 36 characters and the terminator

// Divides *value by divisor in place, one quotient bit per step, and returns the remainder. The
// bits of the value leave at the top into the partial remainder while the quotient's bits enter
// at the bottom; the partial remainder stays below the divisor, so it fits in 32 bits.
UINT32 DivideInPlace(UINT64 *value, UINT32 divisor) {
  UINT64 bits = *value;
  UINT32 partial = 0;
  for (UINT32 step = 0; step < kValueBits; ++step) {
    partial = (partial << 1) | static_cast<UINT32>(bits >> (kValueBits - 1));
    bits <<= 1;
    if (partial >= divisor) {
      partial -= divisor;
      bits |= 1u;
    }
  }
  *value = bits;
  return partial;
}

// The buffer being written: it refuses a character once only the terminator's byte is left.
class Output {
public:
  Output(CHAR8 *buffer, UINT32 limit)
      : buffer_(buffer), capacity_(limit == kFormatNoLimit ? kNoCapacityLimit : limit - 1) {}

  bool Full() const { return count_ >= capacity_; }
  bool Put(CHAR8 c) {
    if (Full()) {
      return false;
    }
    buffer_[count_++] = c;
    return true;
  }
  void PutText(const CHAR8 *text) {
    while (*text != 0 && Put(*text)) {
      ++text;
    }
  }
  void PutText16(const UINT16 *text) {
    while (*text != 0 && Put(static_cast<CHAR8>(*text & 0xFFu))) {
      ++text;
    }
  }
  INT32 Finish() {
    buffer_[count_] = 0;
    return static_cast<INT32>(count_);
  }

private:
  // Without a limit no count reaches this: no buffer is 4 GiB long.
  static constexpr UINT32 kNoCapacityLimit = 0xFFFFFFFFu;

  CHAR8 *buffer_;
  UINT32 capacity_; // the characters that fit before the terminator
  UINT32 count_ = 0;
};

UINT32 NextSlot(FormatArgs *args) {
  if (args == nullptr || args->Slots == nullptr || args->Next >= args->SlotCount) {
    return 0;
  }
  return args->Slots[args->Next++];
}

// The table entry the next slot names, when it is of `kind`; else null.
const VOID *NextPointer(FormatArgs *args, FormatPointerKind kind) {
  const UINT32 number = NextSlot(args);
  if (number == 0 || args->Pointers == nullptr || number > args->PointerCount) {
    return nullptr;
  }
  const FormatPointer &entry = args->Pointers[number - 1];
  return entry.Kind == kind ? entry.Address : nullptr;
}

bool IsDigit(CHAR8 c) { return c >= '0' && c <= '9'; }

UINT32 AppendWidthDigit(UINT32 width, CHAR8 digit) {
  const UINT32 d = static_cast<UINT32>(digit - '0');
  if (width > (kWidthMax - d) / kDecimal) {
    return kWidthMax;
  }
  return width * kDecimal + d;
}

// An asterisk width is a signed slot; a negative one asks for left alignment, which is not
// supported, and pads nothing.
UINT32 WidthFromSlot(UINT32 slot) { return static_cast<INT32>(slot) < 0 ? 0 : slot; }

struct Directive {
  CHAR8 pad = ' ';
  UINT32 width = 0;
  bool wide = false;
};

// Writes `value` (decimal or hexadecimal, upper-cased on request) after pad characters up to
// d.width.
void PutNumber(Output &out, UINT64 value, bool decimal, bool upper, const Directive &d) {
  CHAR8 text[kNumberTextSize];
  const UINT32 length = FormatNumber(value, decimal ? kDecimal : kHexadecimal, d.wide, text);
  if (upper) {
    UpperCase(text);
  }
  for (UINT32 n = length; n < d.width && out.Put(d.pad); ++n) {
  }
  out.PutText(text);
}

void WriteNumber(Output &out, FormatArgs *args, CHAR8 conversion, const Directive &d) {
  UINT64 value = NextSlot(args);
  if (d.wide) {
    value |= static_cast<UINT64>(NextSlot(args)) << 32;
  }
  // FormatNumber keeps only the low 32 bits of a value without l.
  PutNumber(out, value, conversion == 'd' || conversion == 'i',
            conversion == 'X' || conversion == 'p', d);
}

// A GUID as 36 characters, lower case unless `upper`.
void WriteGuid(Output &out, const EFI_GUID *guid, bool upper) {
  CHAR8 text[kGuidTextSize];
  const UINT8 *bytes = reinterpret_cast<const UINT8 *>(guid);
  UINT32 length = 0;
  for (UINT32 i = 0; i < sizeof(kGuidTextByteOrder); ++i) {
    if (i >= kGuidFirstDash && i <= kGuidLastDash && i % 2 == 0) {
      text[length++] = '-';
    }
    const UINT32 byte = bytes[kGuidTextByteOrder[i]];
    text[length++] = kDigits[byte >> 4];
    text[length++] = kDigits[byte & 0xFu];
  }
  text[length] = 0;
  if (upper) {
    UpperCase(text);
  }
  out.PutText(text);
}

// A status by name, or as "Status Code(" and its value in upper-case hexadecimal, then ")".
void WriteStatus(Output &out, UINT32 status) {
  if (const CHAR8 *name = StatusName(status)) {
    out.PutText(name);
    return;
  }
  out.PutText(kStatusCodeOpen);
  PutNumber(out, status, false, true, Directive{});
  out.PutText(kStatusCodeClose);
}

// Writes one directive; `conversion` is its character after flag, width and modifier. False
// when the character is not one of the directives written here (c is one character, which the
// caller writes as it writes text). A family outside `families` is never named by the format, so
// its case is left out of the build where the set is known.
bool WriteDirective(Output &out, FormatArgs *args, CHAR8 conversion, const Directive &d,
                    UINT32 families) {
  switch (conversion) {
  case 's':
  case 'a':
    if ((families & kFormatText8) == 0) {
      return false;
    }
    if (const VOID *text = NextPointer(args, FormatPointerKind::Text8)) {
      out.PutText(static_cast<const CHAR8 *>(text));
    }
    break;
  case 'S':
    if ((families & kFormatText16) == 0) {
      return false;
    }
    if (const VOID *text = NextPointer(args, FormatPointerKind::Text16)) {
      out.PutText16(static_cast<const UINT16 *>(text));
    }
    break;
  case 'g':
  case 'G':
    if ((families & kFormatGuids) == 0) {
      return false;
    }
    if (const VOID *guid = NextPointer(args, FormatPointerKind::Guid)) {
      WriteGuid(out, static_cast<const EFI_GUID *>(guid), conversion == 'G');
    }
    break;
  case 'r':
    if ((families & kFormatStatus) == 0) {
      return false;
    }
    WriteStatus(out, NextSlot(args));
    break;
  case 'd':
  case 'i':
  case 'x':
  case 'X':
  case 'p':
    if ((families & kFormatNumbers) == 0) {
      return false;
    }
    WriteNumber(out, args, conversion, d);
    break;
  default:
    return false;
  }
  return true;
}

} // namespace

INT32 FormatToBufferWith(FormatArgs *args, const CHAR8 *format, CHAR8 *buffer, UINT32 limit,
                         UINT32 conversions) {
  if (buffer == nullptr || format == nullptr) {
    return -1;
  }
  Output out(buffer, limit);
  const CHAR8 *p = format;
  while (*p != 0 && !out.Full()) {
    CHAR8 c = *p++;
    if (c == '%') {
      Directive d;
      if (*p == '0') {
        d.pad = '0';
        ++p;
      }
      if (*p == '*') {
        d.width = WidthFromSlot(NextSlot(args));
        ++p;
      } else {
        while (*p == ' ' || *p == '\t') {
          ++p;
        }
        while (IsDigit(*p)) {
          d.width = AppendWidthDigit(d.width, *p++);
        }
      }
      while (*p == 'l') {
        d.wide = true;
        ++p;
      }
      if (*p == 0) { // a percent sign at the end of the format writes nothing
        break;
      }
      c = *p++;
      if (c == 'c') {
        c = static_cast<CHAR8>(NextSlot(args) & 0xFFu);
      } else if (WriteDirective(out, args, c, d, conversions)) {
        continue;
      }
    }
    // Ordinary text, one character (c), or a character that is not a directive (a second percent
    // sign included), which stands as text.
    out.Put(c);
  }
  return out.Finish();
}

UINT32 FormatNumber(UINT64 value, UINT32 base, BOOLEAN is64, CHAR8 (&text)[kNumberTextSize]) {
  if (base != kHexadecimal) {
    base = kDecimal;
  }
  if (!is64) {
    value = base == kDecimal ? static_cast<UINT64>(static_cast<int64_t>(static_cast<INT32>(value)))
                             : (value & 0xFFFFFFFFu);
  }
  const bool negative = base == kDecimal && static_cast<int64_t>(value) < 0;
  UINT64 magnitude = negative ? 0 - value : value;
  UINT32 length = 0;
  do {
    text[length++] = kDigits[DivideInPlace(&magnitude, base)];
  } while (magnitude != 0);
  if (negative) {
    text[length++] = '-';
  }
  text[length] = 0;
  for (UINT32 i = 0, j = length - 1; i < j; ++i, --j) {
    const CHAR8 c = text[i];
    text[i] = text[j];
    text[j] = c;
  }
  return length;
}

VOID UpperCase(CHAR8 *text) {
  if (text == nullptr) {
    return;
  }
  for (; *text != 0; ++text) {
    if (*text >= 'a' && *text <= 'z') {
      *text = static_cast<CHAR8>(*text - 'a' + 'A');
    }
  }
}
