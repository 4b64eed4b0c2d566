#include "setting/setting.h"

#include "setting/string_table.h"
#include "store/shared_names.h"
#include "store/text_format.h"

namespace orvane {

void LoadText(SettingProgram& program, int id, char16_t (&out)[kTextSize]) {
  if (!program.ports.strings.Load(id, out, kTextSize)) out[0] = 0;
  out[kTextSize - 1] = 0;
}

int ShowMessageText(SettingProgram& program, DialogView* owner, const char16_t* text,
                    uint32_t style) {
  char16_t caption[kTextSize];
  LoadText(program, IDS_CAPTION, caption);
  const int answer = program.ports.messages.Show(owner, text, caption, style);
  // A message ends what was asked: a failed write before it is not the
  // cause of a later failure message.
  program.watch.Forget();
  return answer;
}

int ShowMessage(SettingProgram& program, int textId, uint32_t style) {
  char16_t text[kTextSize];
  LoadText(program, textId, text);
  return ShowMessageText(program, nullptr, text, style);
}

void ShowMessage(SettingProgram& program, const Message& message) {
  if (message.Any()) ShowMessage(program, message.id, message.style);
}

void FormatReaderText(SettingProgram& program, int id, char16_t (&out)[kTextSize]) {
  char16_t format[kTextSize];
  LoadText(program, id, format);
  FormatText(out, kTextSize, format, ReaderLabel(program.state.card));
}

bool PathBesideProgram(SettingProgram& program, const char16_t* name, char16_t* out,
                       std::size_t capacity) {
  if (capacity == 0) return false;
  out[0] = 0;
  char16_t module[kTextSize] = {};
  std::size_t length = program.ports.system.ModulePath(module, kTextSize);
  // A cut module path names some other folder.
  if (length == 0 || length >= kTextSize) return false;
  std::size_t folder = length;
  while (folder > 0 && module[folder - 1] != u'\\') --folder;
  if (folder == 0) return false;
  std::size_t nameLength = BoundedLength(name, capacity);
  if (folder + nameLength >= capacity) return false;
  for (std::size_t i = 0; i < folder; ++i) out[i] = module[i];
  for (std::size_t i = 0; i < nameLength; ++i) out[folder + i] = name[i];
  out[folder + nameLength] = 0;
  return true;
}

void ShowHelp(SettingProgram& program, uint32_t context) {
  // Beside the program, not a bare name: HTML Help would look for a bare name
  // in the current directory and the Windows help folder only.
  char16_t path[kTextSize];
  if (!PathBesideProgram(program, names::kHelpFile, path, kTextSize)) return;
  program.ports.help.ShowContext(path, context);
}

}  // namespace orvane
