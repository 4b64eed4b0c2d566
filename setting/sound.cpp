#include "setting/sound.h"

#include "setting/audit.h"
#include "setting/resource.h"
#include "setting/string_table.h"
#include "store/registry_store.h"
#include "store/sound_path.h"

namespace orvane {

namespace {

constexpr int kMaxFileLength = static_cast<int>(kMaxSoundFileLength);
constexpr int kSelectionChanged = 1;  // CBN_SELCHANGE
// A path that is missing, not allowed or too long for the field.
constexpr Message kFileRefused{IDS_SOUND_FILE_MISSING, mb::kIconError};


bool IsPlayingMode(int32_t mode) { return mode == 1 || mode == 2; }

bool EqualsWavIgnoringCase(const char16_t* text) {
  // One unit past the word: a longer extension is no match.
  return SameAsciiWordIgnoringCase(text, BoundedLength(text, 4), u"wav");
}

}  // namespace

bool ReadSoundSettings(SettingProgram& program, SoundSettings& settings) {
  SoundValues values;
  const bool opened = ReadSoundValues(program.ports.registry, values);
  settings.flag = static_cast<int32_t>(values.flag);
  BoundedCopy(settings.file, kTextSize, values.file);
  settings.sync = static_cast<int32_t>(values.sync);
  return opened;
}

Message WriteSoundSettings(SettingProgram& program, int32_t mode, const char16_t* file,
                           int32_t wait) {
  const int result = WriteSoundValues(program.ports.registry, static_cast<uint32_t>(mode), file,
                                      static_cast<uint32_t>(wait))
                         ? IDS_SOUND_WRITTEN
                         : IDS_SOUND_WRITE_FAILED;
  if (result == IDS_SOUND_WRITTEN) {
    AuditSoundSaved(program, mode, file, wait);
  } else {
    AuditWriteFailure(program, result);
  }
  return {result, mb::kOk};
}

void PlayRecognitionSound(SettingProgram& program) {
  const SoundSettings& sound = program.state.sound;
  if (!IsPlayingMode(sound.flag)) return;
  // A path that the dialog would refuse (stored by some other writer) is not
  // played either: this program runs elevated.
  if (!IsAllowedSoundPath(sound.file)) return;
  program.ports.sound.PlayAsync(sound.file);
}

void UpdateSoundControls(DialogView& view, int index) {
  const bool on = IsPlayingMode(index);
  view.Enable(IDC_SOUND_FILE, on);
  view.Enable(IDC_SOUND_BROWSE, on);
  view.Enable(IDC_SOUND_WAIT, on);
}

const char16_t* FileExtension(const char16_t* path) {
  if (path == nullptr) return u"";
  const std::size_t length = BoundedLength(path, static_cast<std::size_t>(-1));
  for (std::size_t i = length; i > 1; --i) {
    const char16_t c = path[i - 1];
    if (c == u'.') return path + i;
    if (c == u'\\' || c == u'/' || c == u':') return path + length;
  }
  return path;
}

bool SoundFileExists(SettingProgram& program, const char16_t* path) {
  // Before the file system is asked: FindFirstFileW on a UNC path already
  // connects to that server with the program's credentials.
  if (!IsAllowedSoundPath(path)) return false;
  return program.ports.files.FileExists(path);
}

SoundDialog::SoundDialog(SettingProgram& program) : program_(program) {}

bool SoundDialog::OnInit(DialogView& view) {
  view.Center();
  char16_t text[kTextSize];
  for (int id : {IDS_MODE_NEVER, IDS_MODE_CARD, IDS_MODE_USER}) {
    LoadText(program_, id, text);
    view.AddItem(IDC_SOUND_MODE, text);
  }
  view.SelectItem(IDC_SOUND_MODE, 0);
  view.LimitText(IDC_SOUND_FILE, kMaxFileLength);
  if (ReadSoundSettings(program_, shown_)) {
    view.SetText(IDC_SOUND_FILE, shown_.file);
    UpdateSoundControls(view, shown_.flag);
    if (IsPlayingMode(shown_.flag) && shown_.sync != 0) view.SetCheck(IDC_SOUND_WAIT, true);
    // A mode outside the list leaves it without a selection.
    view.SelectItem(IDC_SOUND_MODE, shown_.flag);
  }
  view.AcceptDroppedFiles();
  view.SetFocus(IDC_SOUND_MODE);
  return false;
}

void SoundDialog::Save(DialogView& view) {
  int32_t mode = view.SelectedItem(IDC_SOUND_MODE);
  // One unit more than the longest path: text that does not fit is seen
  // and refused, never cut to a path the user did not write.
  char16_t file[kTextSize + 1] = {};
  int32_t wait = 0;
  if (IsPlayingMode(mode)) {
    view.GetText(IDC_SOUND_FILE, file, kTextSize + 1);
    file[kTextSize] = 0;
    if (file[0] == 0 || !SoundFileExists(program_, file)) {
      ShowMessage(program_, kFileRefused);
      return;
    }
    wait = view.IsChecked(IDC_SOUND_WAIT) ? 1 : 0;
  } else if (mode != 0) {
    // No entry selected (a stored mode the list does not know): what is
    // written is "never", so the key says so too.
    mode = 0;
  }
  const Message written = WriteSoundSettings(program_, mode, file, wait);
  ShowMessage(program_, written);
  if (written.id != IDS_SOUND_WRITTEN) return;
  SoundSettings& sound = program_.state.sound;
  sound.flag = mode;
  sound.sync = wait;
  BoundedCopy(sound.file, kTextSize, file);
  view.Destroy();
}

void SoundDialog::Browse(DialogView& view) {
  char16_t description[kTextSize];
  LoadText(program_, IDS_WAV_FILTER, description);
  static const char16_t kPattern[] = u"*.wav";
  // Description, zero, pattern, two zeros.
  char16_t filter[kTextSize + sizeof kPattern / sizeof kPattern[0] + 1];
  std::size_t n = 0;
  for (const char16_t* c = description; *c; ++c) filter[n++] = *c;
  filter[n++] = 0;
  for (const char16_t* c = kPattern; *c; ++c) filter[n++] = *c;
  filter[n++] = 0;
  filter[n++] = 0;
  char16_t title[kTextSize];
  LoadText(program_, IDS_BROWSE_TITLE, title);
  char16_t chosen[kTextSize] = {};
  if (!program_.ports.files.ChooseOpenFile(view, filter, n, title, kBrowseFlags, chosen, kTextSize))
    return;
  chosen[kTextSize - 1] = 0;
  ShowMessage(program_, TakeFile(view, chosen));
}

Message SoundDialog::TakeFile(DialogView& view, const char16_t* path) {
  if (!IsAllowedSoundPath(path)) return kFileRefused;
  view.SetText(IDC_SOUND_FILE, path);
  UpdateSoundControls(view, view.SelectedItem(IDC_SOUND_MODE));
  return {};
}

bool SoundDialog::OnCommand(DialogView& view, int id, int code) {
  switch (id) {
    case IDC_SOUND_SAVE:
      Save(view);
      return true;
    case IDC_SOUND_CANCEL:
      view.Destroy();
      return true;
    case IDC_SOUND_BROWSE:
      Browse(view);
      return true;
    case IDC_SOUND_MODE:
      // Only a new choice of mode switches the controls. Focus, typing in
      // the field (EN_CHANGE) or a click on the wait box choose no mode:
      // taken as one, they would disable the field of a dialog opened
      // without a sound key while the user types in it.
      if (code == kSelectionChanged) UpdateSoundControls(view, view.SelectedItem(IDC_SOUND_MODE));
      return true;
    default:
      return true;
  }
}

void SoundDialog::OnDropFile(DialogView& view, const char16_t* path) {
  // The host hands over the whole name, however long: one that does not
  // fit the field is refused, never cut to the name of some other file.
  if (path != nullptr && path[0] != 0) {
    if (BoundedLength(path, kTextSize) > static_cast<std::size_t>(kMaxFileLength))
      ShowMessage(program_, kFileRefused);
    else if (EqualsWavIgnoringCase(FileExtension(path)))
      ShowMessage(program_, TakeFile(view, path));
  }
  view.BringToForeground();
}

void SoundDialog::OnDestroy(DialogView& view) {
  view.PostQuit();
}

void SoundDialog::OnHelpKey() { ShowHelp(program_, HELP_CONTEXT_SOUND); }

void RunSoundDialog(SettingProgram& program) {
  // The runner returns once the window is gone: nothing calls this logic later.
  SoundDialog dialog(program);
  program.ports.dialogs.Run(IDD_SOUND, dialog);
}

}  // namespace orvane
