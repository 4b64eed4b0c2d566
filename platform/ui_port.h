// The settings program's other ways to the user: message boxes, resource
// strings, help, sound, files.
#ifndef ORVANE_PLATFORM_UI_PORT_H
#define ORVANE_PLATFORM_UI_PORT_H

#include <cstdint>

namespace orvane {

class DialogView;

// MessageBoxW styles and answers, numbered as Windows numbers them.
namespace mb {
constexpr uint32_t kOk = 0x0;
constexpr uint32_t kYesNo = 0x4;
constexpr uint32_t kIconError = 0x10;
constexpr uint32_t kIconWarning = 0x30;
constexpr uint32_t kIconInformation = 0x40;
constexpr int kAnswerOk = 1;
constexpr int kAnswerCancel = 2;
constexpr int kAnswerYes = 6;
constexpr int kAnswerNo = 7;
}  // namespace mb

class MessageBoxPort {
 public:
  virtual ~MessageBoxPort() = default;
  // MessageBoxW; owner null for none. Returns the answer (0 on failure).
  virtual int Show(DialogView* owner, const char16_t* text, const char16_t* caption,
                   uint32_t style) = 0;
};

class StringsPort {
 public:
  virtual ~StringsPort() = default;
  // LoadStringW of the program's string table into out (always terminated);
  // false and an empty text when there is no such string.
  virtual bool Load(int id, char16_t* out, int capacity) = 0;
};

class HelpPort {
 public:
  virtual ~HelpPort() = default;
  // HtmlHelpW(no owner, file, HH_HELP_CONTEXT, context). Loads the HTML Help
  // control at first use; silently nothing for the rest of the run when it
  // cannot be loaded.
  virtual void ShowContext(const char16_t* file, uint32_t context) = 0;
};

class SoundPort {
 public:
  virtual ~SoundPort() = default;
  // sndPlaySoundW(file, SND_ASYNC); the result is not examined.
  virtual void PlayAsync(const char16_t* file) = 0;
};

}  // namespace orvane

#endif
