// memset, memcpy and memmove for the firmware images: the compiler may emit calls to them for
// struct copies and zeroing, and the images link no C library. Volatile byte pointers keep the
// compiler from turning these loops back into calls to themselves.
#include <stddef.h>

extern "C" {

void *memset(void *dest, int value, size_t count) {
  volatile unsigned char *d = static_cast<unsigned char *>(dest);
  for (size_t i = 0; i < count; ++i) {
    d[i] = static_cast<unsigned char>(value);
  }
  return dest;
}

void *memcpy(void *dest, const void *src, size_t count) {
  volatile unsigned char *d = static_cast<unsigned char *>(dest);
  const unsigned char *s = static_cast<const unsigned char *>(src);
  for (size_t i = 0; i < count; ++i) {
    d[i] = s[i];
  }
  return dest;
}

void *memmove(void *dest, const void *src, size_t count) {
  volatile unsigned char *d = static_cast<unsigned char *>(dest);
  const unsigned char *s = static_cast<const unsigned char *>(src);
  if (d < s) {
    for (size_t i = 0; i < count; ++i) {
      d[i] = s[i];
    }
  } else {
    for (size_t i = count; i > 0; --i) {
      d[i - 1] = s[i - 1];
    }
  }
  return dest;
}

} // extern "C"
