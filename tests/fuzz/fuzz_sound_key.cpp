// The sound key with "flag", "file" and "sync" of any type and length, and
// dropped paths of any content and length: the settings read stay inside
// their fields with "file" terminated, a dropped name is taken whole or
// refused, never cut, only a path of the allowed form is saved or handed to
// the file system, what the dialog saves reads back the same, and every key
// is closed.
#include <cstdlib>
#include <string>
#include <vector>

#include "setting/resource.h"
#include "setting/sound.h"
#include "store/sound_path.h"
#include "store/shared_names.h"
#include "tests/fakes/setting_fakes.h"

namespace {

// What every allowed path must look like, checked apart from the rule itself.
bool LooksLocalAndPlain(const std::u16string& p) {
  if (p.size() < 4 || p.size() > 259) return false;
  const char16_t d = p[0];
  if (!((d >= u'A' && d <= u'Z') || (d >= u'a' && d <= u'z')) || p[1] != u':' || p[2] != u'\\')
    return false;
  if (p.find_first_of(u"*?<>\"|/", 0) != std::u16string::npos) return false;
  if (p.find(u':', 2) != std::u16string::npos) return false;
  for (char16_t c : p)
    if (c < 0x20) return false;
  const std::u16string wrapped = p + u"\\";
  for (const char16_t* bad : {u"\\\\", u"\\.\\", u"\\..\\", u".\\", u" \\"})
    if (wrapped.find(bad, 2) != std::u16string::npos) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orvane;
  size_t at = 0;
  auto byte = [&]() -> uint8_t { return at < size ? data[at++] : 0; };
  SettingRig rig;
  const std::u16string key = names::kSoundKey;
  const uint8_t present = byte();
  if (present & 0x80) rig.registry.AddKey(key);
  const char16_t* const values[] = {names::kSoundFlag, names::kSoundFile, names::kSoundSync};
  for (int i = 0; i < 3; ++i) {
    if (!(present & (1 << i))) continue;
    const uint32_t type = byte() % 12;
    size_t length = byte() | ((byte() & 0x03) << 8);
    std::vector<unsigned char> bytes;
    while (length-- && at < size) bytes.push_back(data[at++]);
    rig.registry.SetRaw(key, values[i], type, bytes);
  }

  // What each value must read as: numbers of up to 4 bytes low byte first,
  // else 0; a path of at most 259 characters up to its first zero, else empty.
  int32_t number[3] = {0, 0, 0};
  std::u16string path;
  for (int i = 0; i < 3; ++i) {
    FakeRegistry::Value v;
    if (!rig.registry.GetValue(key, values[i], &v)) continue;
    if (i == 1) {
      if (v.bytes.size() > 520) continue;
      for (size_t u = 0; u + 1 < v.bytes.size(); u += 2) {
        const char16_t c = static_cast<char16_t>(v.bytes[u] | (v.bytes[u + 1] << 8));
        if (c == 0) break;
        path += c;
      }
      if (path.size() > 259) path.clear();
    } else if (v.bytes.size() <= 4) {
      uint32_t n = 0;
      for (size_t b = 0; b < v.bytes.size(); ++b) n |= static_cast<uint32_t>(v.bytes[b]) << (8 * b);
      number[i] = static_cast<int32_t>(n);
    }
  }

  SoundSettings settings;
  const bool opened = ReadSoundSettings(rig.program, settings);
  if (opened != rig.registry.KeyExists(key)) std::abort();
  const std::size_t length = BoundedLength(settings.file);
  if (length >= kTextSize) std::abort();
  if (settings.flag != number[0] || settings.sync != number[2] ||
      std::u16string(settings.file) != path)
    std::abort();
  if (rig.registry.OpenHandleCount() != 0) std::abort();

  // The dialog shows what was read; saving it (the file made to exist)
  // writes a key that reads back as saved.
  rig.files.files.insert(settings.file);
  FakeDialogView view;
  AddSoundDialogControls(view);
  SoundDialog dialog(rig.program);
  view.logic = &dialog;
  dialog.OnInit(view);
  // A dropped name of the rest of the input, as long as it comes: the
  // host hands over the whole name.
  // Half of them behind a drive's root, so that allowed paths come up too.
  std::u16string dropped = (byte() & 1) ? u"C:\\" : u"";
  while (at + 1 < size) {
    dropped += static_cast<char16_t>(data[at] | (data[at + 1] << 8));
    at += 2;
  }
  const std::u16string passed(dropped.c_str());  // up to its first zero
  const std::u16string before = view.At(IDC_SOUND_FILE).text;
  const std::size_t messages = rig.messages.shown.size();
  dialog.OnDropFile(view, dropped.c_str());
  const std::u16string& after = view.At(IDC_SOUND_FILE).text;
  if (after != before && (after != passed || !LooksLocalAndPlain(after))) std::abort();
  if (passed.size() > kTextSize - 1 &&
      (after != before || rig.messages.shown.size() != messages + 1))
    std::abort();
  if (!rig.files.asked.empty()) std::abort();  // a drop probes nothing
  if (IsAllowedSoundPath(passed.c_str()) && !LooksLocalAndPlain(passed)) std::abort();
  view.At(IDC_SOUND_FILE).text = settings.file;
  dialog.OnCommand(view, IDC_SOUND_SAVE, 0);
  if (view.destroyed) {
    SoundSettings back;
    if (!ReadSoundSettings(rig.program, back)) std::abort();
    const SoundSettings& saved = rig.program.state.sound;
    if (back.flag != saved.flag || back.sync != saved.sync ||
        std::u16string(back.file) != std::u16string(saved.file))
      std::abort();
    if (saved.flag < 0 || saved.flag > 2) std::abort();
    if (saved.flag != 0 && !LooksLocalAndPlain(saved.file)) std::abort();
  }
  for (const std::u16string& asked : rig.files.asked)
    if (!LooksLocalAndPlain(asked)) std::abort();
  if (rig.registry.OpenHandleCount() != 0) std::abort();
  return 0;
}
