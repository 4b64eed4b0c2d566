// UTF-16 text in fixed buffers of code units, as the programs keep it: every
// length is bounded by the buffer it lives in, and null reads as empty.
#ifndef ORVANE_STORE_TEXT_H
#define ORVANE_STORE_TEXT_H

#include <cstddef>

namespace orvane {

// The text buffer every program and the logon component use: 259 code
// units and a terminator.
constexpr int kTextSize = 260;

// Units before the first zero, at most capacity; 0 for null.
std::size_t BoundedLength(const char16_t* text, std::size_t capacity = kTextSize);
// Copies at most capacity - 1 units of text (null as empty) and terminates;
// nothing for capacity 0. Returns the units copied.
std::size_t BoundedCopy(char16_t* out, std::size_t capacity, const char16_t* text);
// Code unit by code unit, case counts, within the first capacity units
// (texts that agree that far are equal). Null reads as empty.
bool SameText(const char16_t* a, const char16_t* b, std::size_t capacity);
// 'A'..'Z' to 'a'..'z'; every other unit as it is.
char16_t AsciiLower(char16_t c);
// length units of text against the lower-case ASCII word, ignoring the case
// of ASCII letters only (registry names and file extensions).
bool SameAsciiWordIgnoringCase(const char16_t* text, std::size_t length, const char16_t* word);

}  // namespace orvane

#endif
