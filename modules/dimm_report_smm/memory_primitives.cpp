#include "modules/dimm_report_smm/memory_primitives.h"

VOID CopyMemory(VOID *destination, const VOID *source, UINTN count) {
  UINT8 *d = static_cast<UINT8 *>(destination);
  const UINT8 *s = static_cast<const UINT8 *>(source);
  if (d == s || count == 0) {
    return;
  }
  if (d < s) {
    for (UINTN i = 0; i < count; ++i) {
      d[i] = s[i];
    }
  } else {
    for (UINTN i = count; i > 0; --i) {
      d[i - 1] = s[i - 1];
    }
  }
}
