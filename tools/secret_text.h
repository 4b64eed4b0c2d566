// Passwords and login texts in orvane-card: converted and printed through
// fixed buffers only, so that no copy of them is left in freed heap memory,
// and every buffer and argument that held one is wiped before it goes.
#ifndef ORVANE_TOOLS_SECRET_TEXT_H
#define ORVANE_TOOLS_SECRET_TEXT_H

#include <cstddef>
#include <string>
#include <vector>

#include "store/secure_wipe.h"
#include "store/text.h"

namespace orvane {

// One login text as UTF-16, at most kTextSize - 1 code units and a
// terminator; wiped when it goes.
struct SecretText {
  char16_t text[kTextSize] = {};
  std::size_t length = 0;  // code units the input needs, even beyond the buffer
  bool Fits() const { return length < kTextSize; }
  SecretText() = default;
  SecretText(const SecretText&) = delete;
  SecretText& operator=(const SecretText&) = delete;
  ~SecretText() { SecureZero(this, sizeof *this); }
};

// UTF-8 to UTF-16 with the rules of Utf8ToUtf16 (false on malformed input),
// into out.text as far as it fits; out.length counts every code unit, so
// that an over-long text is told from a malformed one.
bool SecretFromUtf8(const char* utf8, std::size_t size, SecretText& out);

// A line "<label><text>\n" in UTF-8, unpaired surrogates as U+FFFD, as
// Utf16ToUtf8 writes them; wiped when it goes.
struct SecretLine {
  char bytes[32 + 3 * kTextSize] = {};
  std::size_t size = 0;
  SecretLine(const char* label, const char16_t* text);
  SecretLine(const SecretLine&) = delete;
  SecretLine& operator=(const SecretLine&) = delete;
  ~SecretLine() { SecureZero(this, sizeof *this); }
};

// A UTF-16 argument as UTF-8 (unpaired surrogates as U+FFFD) into out, sized
// once, so that no grown and freed buffer keeps part of it.
void ArgumentToUtf8(const char16_t* arg, std::string& out);

// Zeros the whole storage of a string, the spare capacity a shorter earlier
// value or a move may have left included, and empties it.
void WipeString(std::string& text);

// Wipes every string of a vector of arguments when it goes: each way out of
// a command that took a password clears the arguments that carried it.
class ArgumentWiper {
 public:
  explicit ArgumentWiper(std::vector<std::string>& args) : args_(args) {}
  ArgumentWiper(const ArgumentWiper&) = delete;
  ArgumentWiper& operator=(const ArgumentWiper&) = delete;
  ~ArgumentWiper() {
    for (std::string& arg : args_) WipeString(arg);
  }

 private:
  std::vector<std::string>& args_;
};

}  // namespace orvane

#endif
