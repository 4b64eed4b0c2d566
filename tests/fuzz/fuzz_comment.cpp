// A "comment" of any content: the split into time and description stays
// inside its buffers and ends every text.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "store/login_record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Code units low byte first, as the registry returns them; an odd last
  // byte is no character.
  std::vector<char16_t> text(size / 2);
  for (size_t i = 0; i < text.size(); ++i)
    text[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  orvane::RecordComment comment;
  std::memset(&comment, 0x55, sizeof comment);
  orvane::ParseComment(text.data(), text.size(), comment);

  size_t timeLength = 0;
  while (timeLength < 20 && comment.time[timeLength]) ++timeLength;
  size_t descriptionLength = 0;
  while (descriptionLength < orvane::kTextSize && comment.description[descriptionLength])
    ++descriptionLength;
  if (timeLength > 19 || descriptionLength >= orvane::kTextSize) std::abort();
  // The time is the text's start; the description follows the space.
  if (timeLength &&
      std::memcmp(comment.time, text.data(), timeLength * sizeof(char16_t)) != 0)
    std::abort();
  if (descriptionLength &&
      std::memcmp(comment.description, text.data() + 20, descriptionLength * sizeof(char16_t)) != 0)
    std::abort();
  return 0;
}
