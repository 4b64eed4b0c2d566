#include "setting/main_dialog.h"

#include "setting/card_list.h"
#include "setting/registration.h"
#include "setting/removal.h"
#include "setting/resource.h"
#include "setting/sound.h"
#include "setting/string_table.h"
#include "store/text_format.h"

namespace orvane {

namespace {

void PlaySoundHook(void* context) { PlayRecognitionSound(*static_cast<SettingProgram*>(context)); }

void SetStatus(DialogView& view, const char16_t* text) { view.SetText(IDC_STATUS, text); }

void SetReadButton(SettingProgram& program, DialogView& view, int textId) {
  char16_t text[kTextSize];
  LoadText(program, textId, text);
  view.SetText(IDC_READ, text);
}

// Refused card: the no-card display, Ready again, and IDS_CARD_UNUSABLE.
void RefuseCard(SettingProgram& program, DialogView& view) {
  ShowCardState(program, view, false);
  ResetReadStatus(program, view);
  view.KillTimer(kReadTimer);
  ShowMessage(program, IDS_CARD_UNUSABLE, mb::kIconError);
}

}  // namespace

bool IsUnusableCardKind(int cardKind) {
  return cardKind == kCardKindShortAtr || cardKind == kCardKindRefusedType;
}

void ReadAccountNames(SettingProgram& program, char16_t (&target)[kTextSize]) {
  SettingState& state = program.state;
  if (!program.ports.system.ComputerName(target, kTextSize)) target[0] = 0;
  target[kTextSize - 1] = 0;
  if (!program.ports.account.UserName(state.currentUser, kTextSize)) state.currentUser[0] = 0;
  state.currentUser[kTextSize - 1] = 0;
  if (!program.ports.system.IsWindows8OrLater()) return;

  InternetAccount account;
  if (!program.ports.account.InternetAccountOf(target, state.currentUser, account)) return;
  account.principal[kTextSize - 1] = 0;
  account.provider[kTextSize - 1] = 0;
  if (!account.hasPrincipal || account.principal[0] == 0 || !account.hasProvider) return;
  BoundedCopy(target, kTextSize, account.provider);
  BoundedCopy(state.currentUser, kTextSize, account.principal);
}

void ResetReadStatus(SettingProgram& program, DialogView& view) {
  char16_t text[kTextSize];
  FormatReaderText(program, IDS_READER_READY, text);
  SetStatus(view, text);
  SetReadButton(program, view, IDS_READ_CARD);
}

void ShowCardState(SettingProgram& program, DialogView& view, bool cardPresent) {
  view.Enable(IDC_PASSWORD_AGAIN, cardPresent);
  if (cardPresent) view.SetText(IDC_PASSWORD_AGAIN, u"");
  view.Enable(IDC_REGISTER, cardPresent);
  view.Enable(IDC_SOUND, cardPresent);
  view.Enable(IDC_PASSWORD, cardPresent);
  if (cardPresent) {
    view.SetText(IDC_PASSWORD, u"");
    view.SetFocus(IDC_PASSWORD);
  }
  view.Enable(IDC_TARGET, cardPresent);
  view.Enable(IDC_USER, cardPresent);
  view.Enable(IDC_DESCRIPTION, cardPresent);
  if (!cardPresent) {
    EnableRemovalControls(view, false);
    return;
  }
  char16_t format[kTextSize];
  char16_t status[kTextSize];
  LoadText(program, IDS_CARD_READ, format);
  FormatText(status, kTextSize, format, CardKindLabel(program.state.card.cardKind));
  SetStatus(view, status);
  program.state.stored = RemovalSettings{};
  LookUpRecord(program, view);
  ShowRemovalSettings(program, view);
}

MainDialog::MainDialog(SettingProgram& program) : program_(program) {
  CardAccess& card = program_.state.card;
  card.view = this;
  card.soundHook = PlaySoundHook;
  card.soundContext = &program_;
}

MainDialog::~MainDialog() {
  CardAccess& card = program_.state.card;
  if (card.view == this) card.view = nullptr;
}

bool MainDialog::OnInit(DialogView& view) {
  view_ = &view;
  view.Center();
  char16_t target[kTextSize];
  ReadAccountNames(program_, target);
  view.SetText(IDC_TARGET, target);
  view.SetText(IDC_USER, program_.state.currentUser);
  // Longer input could never be registered; the register command still
  // checks the three login texts together.
  for (int id : {IDC_TARGET, IDC_USER, IDC_PASSWORD, IDC_PASSWORD_AGAIN})
    view.LimitText(id, kMaxLoginTextLength);
  view.LimitText(IDC_DESCRIPTION, kMaxDescriptionLength);
  // Six digits keep the checker's period (seconds x 1000) inside 32 bits.
  view.LimitText(IDC_INTERVAL, 6);
  FillRemovalList(program_, view);
  LoadFelicaLibrary(program_.state.card);
  DiscoverReaders(program_.state.card);
  return true;
}

void MainDialog::ReaderReady(const char16_t* readerLabel) {
  if (view_ == nullptr) return;
  view_->Enable(IDC_READ, true);
  if (program_.state.reading) {
    // A device change during a read that uses only the FeliCa library runs
    // discovery again; timer 1 still polls, so the button must still say
    // stop. The status names the reader the read now waits at.
    char16_t text[kTextSize];
    FormatReaderText(program_, IDS_READING, text);
    SetStatus(*view_, text);
    return;
  }
  ResetReadStatus(program_, *view_);
}

void MainDialog::StartOrStopRead(DialogView& view) {
  SettingState& state = program_.state;
  if (state.reading) {
    view.KillTimer(kReadTimer);
    ShowCardState(program_, view, false);
    state.reading = false;
    ResetReadStatus(program_, view);
    return;
  }
  view.SetText(IDC_DESCRIPTION, u"");
  ReadSoundSettings(program_, state.sound);
  if (PollCard(state.card)) {
    if (IsUnusableCardKind(state.card.cardKind)) {
      RefuseCard(program_, view);
    } else {
      ShowCardState(program_, view, true);
    }
    return;
  }
  ShowCardState(program_, view, false);
  state.reading = true;
  view.SetTimer(kReadTimer, kReadPeriodMs);
  char16_t text[kTextSize];
  FormatReaderText(program_, IDS_READING, text);
  SetStatus(view, text);
  SetReadButton(program_, view, IDS_STOP_READING);
}

bool MainDialog::OnCommand(DialogView& view, int id, int code) {
  switch (id) {
    case IDC_READ:
      StartOrStopRead(view);
      return true;
    case IDC_REGISTER:
      RegisterCommand(program_, view);
      return true;
    case IDC_EXIT:
      view.Destroy();
      return true;
    case IDC_DELETE:
      RunCardListDialog(program_);
      return true;
    case IDC_SOUND:
      RunSoundDialog(program_);
      return true;
    case IDC_REMOVAL_ON:
      EnableRemovalControls(view, view.IsChecked(IDC_REMOVAL_ON));
      return true;
    case IDC_REMOVAL_ACTION:
      if (code != kComboSelectionChanged) return false;
      RemovalActionChanged(view);
      return true;
    default:
      return false;
  }
}

void MainDialog::OnTimer(DialogView& view, int timerId) {
  if (timerId != kReadTimer) return;
  SettingState& state = program_.state;
  if (!PollCard(state.card)) return;
  view.KillTimer(kReadTimer);
  state.reading = false;
  if (IsUnusableCardKind(state.card.cardKind)) {
    RefuseCard(program_, view);
    return;
  }
  ShowCardState(program_, view, true);
  SetReadButton(program_, view, IDS_READ_CARD);
}

void MainDialog::OnDeviceChange(DialogView& view) { DiscoverReaders(program_.state.card); }

void MainDialog::OnDestroy(DialogView& view) {
  FreeFelicaLibrary(program_.state.card);
  ReleaseReaders(program_.state.card);
  view_ = nullptr;
  view.PostQuit();
}

void MainDialog::OnHelpKey() { ShowHelp(program_, HELP_CONTEXT_MAIN); }

}  // namespace orvane
