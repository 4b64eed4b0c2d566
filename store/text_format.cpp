#include "store/text_format.h"

#include <cstdint>

namespace orvane {

namespace {

class TextSink {
 public:
  TextSink(char16_t* out, int capacity) : out_(out), capacity_(capacity) {}
  void Put(char16_t c) {
    if (length_ + 1 < capacity_) out_[length_++] = c;
  }
  // width counts the sign too, as printf's "%04d" does: -5 is "-005".
  void PutNumber(uint32_t value, uint32_t base, bool negative = false, int width = 0) {
    char16_t digits[16];
    int n = 0;
    do {
      uint32_t d = value % base;
      digits[n++] = static_cast<char16_t>(d < 10 ? u'0' + d : u'a' + (d - 10));
      value /= base;
    } while (value != 0);
    if (negative) Put(u'-');
    for (int pad = width - n - (negative ? 1 : 0); pad > 0; --pad) Put(u'0');
    while (n > 0) Put(digits[--n]);
  }
  int Finish() {
    if (capacity_ > 0) out_[length_] = 0;
    return length_;
  }

 private:
  char16_t* out_;
  int capacity_;
  int length_ = 0;
};

}  // namespace

int FormatTextV(char16_t* out, int capacity, const char16_t* format, va_list args) {
  TextSink sink(out, capacity);
  for (const char16_t* p = format; p != nullptr && *p != 0; ++p) {
    if (*p != u'%') {
      sink.Put(*p);
      continue;
    }
    // "%0N": zero-padded to N (one digit) for the number conversions.
    int width = 0;
    if (p[1] == u'0' && p[2] >= u'1' && p[2] <= u'9') {
      width = p[2] - u'0';
      p += 2;
    }
    char16_t conversion = p[1];
    if (conversion == 0) {
      sink.Put(u'%');
      break;
    }
    ++p;
    switch (conversion) {
      case u's': {
        const char16_t* s = va_arg(args, const char16_t*);
        if (s == nullptr) s = u"(null)";
        while (*s != 0) sink.Put(*s++);
        break;
      }
      case u'd': {
        int v = va_arg(args, int);
        uint32_t magnitude = static_cast<uint32_t>(v);
        if (v < 0) magnitude = 0u - magnitude;
        sink.PutNumber(magnitude, 10, v < 0, width);
        break;
      }
      case u'u':
        sink.PutNumber(va_arg(args, unsigned int), 10, false, width);
        break;
      case u'x':
        sink.PutNumber(va_arg(args, unsigned int), 16, false, width);
        break;
      case u'%':
        sink.Put(u'%');
        break;
      default:  // unknown conversions are written as they stand
        sink.Put(u'%');
        sink.Put(conversion);
        break;
    }
  }
  return sink.Finish();
}

int FormatText(char16_t* out, int capacity, const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  int n = FormatTextV(out, capacity, format, args);
  va_end(args);
  return n;
}

}  // namespace orvane
