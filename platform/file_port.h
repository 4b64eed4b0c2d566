// Files as the settings program's sound dialog needs them.
#ifndef ORVANE_PLATFORM_FILE_PORT_H
#define ORVANE_PLATFORM_FILE_PORT_H

#include <cstddef>
#include <cstdint>

namespace orvane {

class DialogView;

class FilePort {
 public:
  virtual ~FilePort() = default;
  // FindFirstFileW finds the path and the entry found is not a directory.
  virtual bool FileExists(const char16_t* path) = 0;
  // GetOpenFileNameW owned by the dialog: filter as the API takes it
  // (description, zero, pattern, two zeros; filterLength units in all), title,
  // flags; the chosen full path into out (capacity units, starting empty).
  // False when the user cancels or the dialog fails.
  virtual bool ChooseOpenFile(DialogView& owner, const char16_t* filter, std::size_t filterLength,
                              const char16_t* title, uint32_t flags, char16_t* out,
                              std::size_t capacity) = 0;
};

}  // namespace orvane

#endif
