// A small printf for UTF-16 text into fixed buffers: the checker's debug
// lines and the settings program's status and message texts.
#ifndef ORVANE_STORE_TEXT_FORMAT_H
#define ORVANE_STORE_TEXT_FORMAT_H

#include <cstdarg>

namespace orvane {

// Knows %s (const char16_t*, null prints "(null)"), %d, %u, %x and %%,
// the numbers also zero-padded to a width of one digit ("%02d");
// unknown conversions are copied as they stand. The result is cut to fit
// and always zero-terminated when capacity > 0; returns the length written.
int FormatText(char16_t* out, int capacity, const char16_t* format, ...);
int FormatTextV(char16_t* out, int capacity, const char16_t* format, va_list args);

}  // namespace orvane

#endif
