// The formatting engine, number conversion and upper-casing. 64-bit values are divided by a
// 64-step shift-and-subtract loop: the IA32 image links no 64-bit division routine.
#include "platform/text_format.h"

namespace {

constexpr CHAR8 kDigits[] = "0123456789abcdef";
constexpr UINT32 kDecimal = 10;
constexpr UINT32 kHexadecimal = 16;
constexpr UINT32 kWidthMax = 0xFFFFFFFFu; // a longer run of width digits saturates here

constexpr CHAR8 kGuidFormat[] = "%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x";
constexpr CHAR8 kStatusNameFormat[] = "%s";
constexpr CHAR8 kStatusCodeFormat[] = "%s(%X)";
constexpr CHAR8 kStatusCodeLabel[] = "Status Code";

// Quotient of dividend / divisor, remainder in *remainder, one quotient bit per step.
UINT64 DivideU64ByU32(UINT64 dividend, UINT32 divisor, UINT32 *remainder) {
  UINT64 quotient = 0;
  UINT64 partial = 0; // stays below divisor, so one more bit always fits
  for (INT32 bit = 63; bit >= 0; --bit) {
    partial = (partial << 1) | ((dividend >> bit) & 1u);
    quotient <<= 1;
    if (partial >= divisor) {
      partial -= divisor;
      quotient |= 1u;
    }
  }
  *remainder = static_cast<UINT32>(partial);
  return quotient;
}

// The buffer being written: it refuses a character once only the terminator's byte is left.
class Output {
public:
  Output(CHAR8 *buffer, UINT32 limit) : buffer_(buffer), limit_(limit) {}

  bool Full() const { return limit_ != kFormatNoLimit && count_ + 1 >= limit_; }
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
  // Where a nested call writes, the limit it gets, and how far it got.
  CHAR8 *Here() const { return buffer_ + count_; }
  UINT32 Remaining() const { return limit_ == kFormatNoLimit ? kFormatNoLimit : limit_ - count_; }
  void Advance(INT32 written) {
    if (written > 0) {
      count_ += static_cast<UINT32>(written);
    }
  }
  INT32 Finish() {
    buffer_[count_] = 0;
    return static_cast<INT32>(count_);
  }

private:
  CHAR8 *buffer_;
  UINT32 limit_;
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

void WriteNumber(Output &out, FormatArgs *args, CHAR8 conversion, const Directive &d) {
  UINT64 value;
  if (d.wide) {
    const UINT64 low = NextSlot(args);
    const UINT64 high = NextSlot(args);
    value = low | (high << 32);
  } else {
    value = static_cast<UINT64>(static_cast<int64_t>(static_cast<INT32>(NextSlot(args))));
  }
  const bool decimal = conversion == 'd' || conversion == 'i';
  CHAR8 text[kNumberTextSize];
  const UINT32 length = FormatNumber(value, decimal ? kDecimal : kHexadecimal, d.wide, text);
  if (conversion == 'X' || conversion == 'p') {
    UpperCase(text);
  }
  for (UINT32 n = length; n < d.width && out.Put(d.pad); ++n) {
  }
  out.PutText(text);
}

void WriteGuid(Output &out, const EFI_GUID *guid, bool upper) {
  CHAR8 *start = out.Here();
  const INT32 written =
      FormatToBufferN(start, out.Remaining(), kGuidFormat, guid->Data1, guid->Data2, guid->Data3,
                      guid->Data4[0], guid->Data4[1], guid->Data4[2], guid->Data4[3],
                      guid->Data4[4], guid->Data4[5], guid->Data4[6], guid->Data4[7]);
  if (upper) {
    UpperCase(start);
  }
  out.Advance(written);
}

void WriteStatus(Output &out, UINT32 status) {
  const CHAR8 *name = StatusName(status);
  const INT32 written = name != nullptr
                            ? FormatToBufferN(out.Here(), out.Remaining(), kStatusNameFormat, name)
                            : FormatToBufferN(out.Here(), out.Remaining(), kStatusCodeFormat,
                                              kStatusCodeLabel, status);
  out.Advance(written);
}

// Writes one directive; `conversion` is its character after flag, width and modifier.
void WriteDirective(Output &out, FormatArgs *args, CHAR8 conversion, const Directive &d) {
  switch (conversion) {
  case 's':
  case 'a':
    if (const VOID *text = NextPointer(args, FormatPointerKind::Text8)) {
      out.PutText(static_cast<const CHAR8 *>(text));
    }
    return;
  case 'S':
    if (const VOID *text = NextPointer(args, FormatPointerKind::Text16)) {
      out.PutText16(static_cast<const UINT16 *>(text));
    }
    return;
  case 'c':
    out.Put(static_cast<CHAR8>(NextSlot(args) & 0xFFu));
    return;
  case 'g':
  case 'G':
    if (const VOID *guid = NextPointer(args, FormatPointerKind::Guid)) {
      WriteGuid(out, static_cast<const EFI_GUID *>(guid), conversion == 'G');
    }
    return;
  case 'r':
    WriteStatus(out, NextSlot(args));
    return;
  case 'd':
  case 'i':
  case 'x':
  case 'X':
  case 'p':
    WriteNumber(out, args, conversion, d);
    return;
  default: // not a directive: the character stands as text
    out.Put(conversion);
    return;
  }
}

} // namespace

INT32 FormatToBufferV(FormatArgs *args, const CHAR8 *format, CHAR8 *buffer, UINT32 limit) {
  if (buffer == nullptr || format == nullptr) {
    return -1;
  }
  Output out(buffer, limit);
  const CHAR8 *p = format;
  while (*p != 0 && !out.Full()) {
    if (*p != '%') {
      out.Put(*p++);
      continue;
    }
    ++p;
    if (*p == '%') {
      out.Put('%');
      ++p;
      continue;
    }
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
    WriteDirective(out, args, *p++, d);
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
    UINT32 digit = 0;
    magnitude = DivideU64ByU32(magnitude, base, &digit);
    text[length++] = kDigits[digit];
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
