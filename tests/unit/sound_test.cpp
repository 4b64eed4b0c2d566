// The recognition sound on an in-memory registry and view: reading the sound
// key whatever it holds, the dialog's start, save, browse and drop, the
// write order with failures at each step, and what a poll plays.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "setting/resource.h"
#include "setting/sound.h"
#include "store/sound_path.h"
#include "setting/string_table.h"
#include "store/shared_names.h"
#include "tests/fakes/setting_fakes.h"
#include "tests/unit/record_test_support.h"

namespace orvane {
namespace {

using recordtest::Utf16Bytes;

const std::u16string kKey = names::kSoundKey;
const std::u16string kWave = u"C:\\Windows\\Media\\ding.wav";

std::vector<unsigned char> Le32(uint32_t v) {
  return {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
          static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
}

struct SoundTest : ::testing::Test {
  SettingRig rig;
  FakeDialogView view;
  SoundDialog dialog{rig.program};

  SoundTest() {
    AddSoundDialogControls(view);
    view.logic = &dialog;
    rig.files.files.insert(kWave);
    rig.files.folders.insert(u"C:\\Windows\\Media");
  }
  void StoreKey(uint32_t flag, const std::u16string& file, uint32_t sync) {
    rig.registry.SetDword(kKey, names::kSoundFlag, flag);
    rig.registry.SetString(kKey, names::kSoundFile, file);
    rig.registry.SetDword(kKey, names::kSoundSync, sync);
  }
  void Open() { EXPECT_FALSE(dialog.OnInit(view)); }
  void Press(int id) { dialog.OnCommand(view, id, 0); }
  void Choose(int mode) {
    view.SelectItem(IDC_SOUND_MODE, mode);
    dialog.OnCommand(view, IDC_SOUND_MODE, 1);  // CBN_SELCHANGE
  }
  bool Enabled(int id) { return view.At(id).enabled; }
};

TEST_F(SoundTest, ReadingTakesEachValueOrItsDefault) {
  const std::u16string longest(259, u'p');
  struct Case {
    const char* name;
    std::vector<std::pair<std::u16string, FakeRegistry::Value>> values;
    int32_t flag;
    std::u16string file;
    int32_t sync;
  } cases[] = {
      {"all three",
       {{u"flag", {regtype::kDword, Le32(1)}},
        {u"file", {regtype::kSz, Utf16Bytes(kWave)}},
        {u"sync", {regtype::kDword, Le32(1)}}},
       1, kWave, 1},
      {"empty key", {}, 0, u"", 0},
      {"mode outside the list", {{u"flag", {regtype::kDword, Le32(7)}}}, 7, u"", 0},
      {"259 characters", {{u"file", {regtype::kSz, Utf16Bytes(longest)}}}, 0, longest, 0},
      {"259 characters and a stored terminator",
       {{u"file", {regtype::kSz, Utf16Bytes(longest + u'\0')}}}, 0, longest, 0},
      {"260 characters", {{u"file", {regtype::kSz, Utf16Bytes(longest + u"q")}}}, 0, u"", 0},
      {"far too long", {{u"file", {regtype::kSz, Utf16Bytes(std::u16string(4000, u'q'))}}}, 0,
       u"", 0},
      {"odd byte count",
       {{u"file", {regtype::kSz, [] {
                     auto b = Utf16Bytes(u"C:\\a.wav");
                     b.push_back(0x5A);
                     return b;
                   }()}}},
       0, u"C:\\a.wav", 0},
      {"embedded zero", {{u"file", {regtype::kSz, Utf16Bytes(u"C:\\a.wav" + std::u16string(1, 0) + u"zz")}}},
       0, u"C:\\a.wav", 0},
      {"numbers of other types are read as their bytes",
       {{u"flag", {regtype::kBinary, Le32(2)}}, {u"sync", {regtype::kSz, {0x01, 0x00}}}}, 2, u"",
       1},
      {"a number over 4 bytes is unreadable",
       {{u"flag", {regtype::kQword, {1, 0, 0, 0, 0, 0, 0, 0}}},
        {u"sync", {regtype::kQword, {1, 0, 0, 0, 0, 0, 0, 0}}}},
       0, u"", 0},
      {"a short number", {{u"flag", {regtype::kDword, {0x02}}}}, 2, u"", 0},
      {"a file of another type", {{u"file", {regtype::kBinary, Utf16Bytes(kWave)}}}, 0, kWave, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SettingRig rig;
    rig.registry.AddKey(kKey);
    for (const auto& v : c.values) rig.registry.SetRaw(kKey, v.first, v.second.type, v.second.bytes);
    SoundSettings settings;
    settings.flag = 9;
    settings.file[0] = u'x';
    settings.sync = 9;
    EXPECT_TRUE(ReadSoundSettings(rig.program, settings));
    EXPECT_EQ(settings.flag, c.flag);
    EXPECT_EQ(std::u16string(settings.file), c.file);
    EXPECT_EQ(settings.sync, c.sync);
    EXPECT_EQ(rig.registry.OpenHandleCount(), 0u);
  }
}

TEST_F(SoundTest, NoKeyReadsAsNeverAndSaysSo) {
  SoundSettings settings;
  settings.flag = 1;
  settings.file[0] = u'x';
  EXPECT_FALSE(ReadSoundSettings(rig.program, settings));
  EXPECT_EQ(settings.flag, 0);
  EXPECT_EQ(settings.file[0], 0);
  EXPECT_EQ(settings.sync, 0);
}

TEST_F(SoundTest, TheDialogStartsFromTheStoredChoice) {
  struct Case {
    const char* name;
    bool key;
    uint32_t flag;
    std::u16string file;
    uint32_t sync;
    int selection;
    bool controlsOn;
    bool ticked;
  } cases[] = {
      {"no key", false, 0, u"", 0, 0, true, false},
      {"never", true, 0, u"", 0, 0, false, false},
      {"never, with a stray wait flag", true, 0, kWave, 1, 0, false, false},
      {"card, wait", true, 1, kWave, 1, 1, true, true},
      {"card, no wait", true, 1, kWave, 0, 1, true, false},
      {"user, wait", true, 2, kWave, 5, 2, true, true},
      {"mode 3", true, 3, kWave, 1, -1, false, false},
      {"mode -1", true, 0xFFFFFFFF, kWave, 1, -1, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SettingRig rig;
    FakeDialogView view;
    AddSoundDialogControls(view);
    SoundDialog dialog(rig.program);
    if (c.key) {
      rig.registry.SetDword(kKey, names::kSoundFlag, c.flag);
      rig.registry.SetString(kKey, names::kSoundFile, c.file);
      rig.registry.SetDword(kKey, names::kSoundSync, c.sync);
    }
    EXPECT_FALSE(dialog.OnInit(view));
    const FakeControl& mode = view.At(IDC_SOUND_MODE);
    EXPECT_EQ(mode.items, (std::vector<std::u16string>{StringText(IDS_MODE_NEVER),
                                                       StringText(IDS_MODE_CARD),
                                                       StringText(IDS_MODE_USER)}));
    EXPECT_EQ(mode.selection, c.selection);
    EXPECT_EQ(view.At(IDC_SOUND_FILE).text, c.key ? c.file : u"");
    EXPECT_EQ(view.At(IDC_SOUND_FILE).enabled, c.controlsOn);
    EXPECT_EQ(view.At(IDC_SOUND_BROWSE).enabled, c.controlsOn);
    EXPECT_EQ(view.At(IDC_SOUND_WAIT).enabled, c.controlsOn);
    EXPECT_EQ(view.At(IDC_SOUND_WAIT).checked, c.ticked);
    EXPECT_EQ(view.At(IDC_SOUND_FILE).textLimit, 259);
    EXPECT_EQ(view.focus, IDC_SOUND_MODE);
    EXPECT_EQ(view.centred, 1);
    EXPECT_TRUE(view.acceptsDrops);
    EXPECT_TRUE(rig.registry.ValueNames(RegRoot::LocalMachine, kKey).size() == (c.key ? 3u : 0u));
    EXPECT_TRUE(view.misuse.empty());
  }
}

TEST_F(SoundTest, FocusMovingIsNoChoiceButASelectionChangeIs) {
  // No key: the controls start enabled, and the focus the list gets at start
  // (CBN_SETFOCUS) or that moves on (EN_KILLFOCUS, BN_SETFOCUS) keeps them so.
  SettingRig rig;
  FakeDialogView view;
  AddSoundDialogControls(view);
  SoundDialog dialog(rig.program);
  dialog.OnInit(view);
  const struct {
    int id, code;
  } focus[] = {{IDC_SOUND_MODE, 3}, {IDC_SOUND_MODE, 4}, {IDC_SOUND_FILE, 0x100},
               {IDC_SOUND_FILE, 0x200}, {IDC_SOUND_WAIT, 6}, {IDC_SOUND_WAIT, 7}};
  for (const auto& f : focus) {
    dialog.OnCommand(view, f.id, f.code);
    EXPECT_TRUE(view.At(IDC_SOUND_FILE).enabled) << f.id << "/" << f.code;
  }
  dialog.OnCommand(view, IDC_SOUND_MODE, 1);  // CBN_SELCHANGE with "しない" selected
  EXPECT_FALSE(view.At(IDC_SOUND_FILE).enabled);
  EXPECT_FALSE(view.At(IDC_SOUND_BROWSE).enabled);
  EXPECT_FALSE(view.At(IDC_SOUND_WAIT).enabled);
}

TEST_F(SoundTest, ChangingTheModeSwitchesTheFileControlsButNotTheTick) {
  Open();
  view.At(IDC_SOUND_WAIT).checked = true;
  const struct {
    int mode;
    bool on;
  } steps[] = {{0, false}, {1, true}, {2, true}, {0, false}, {-1, false}};
  for (const auto& s : steps) {
    Choose(s.mode);
    EXPECT_EQ(Enabled(IDC_SOUND_FILE), s.on) << s.mode;
    EXPECT_EQ(Enabled(IDC_SOUND_BROWSE), s.on) << s.mode;
    EXPECT_EQ(Enabled(IDC_SOUND_WAIT), s.on) << s.mode;
    EXPECT_TRUE(view.At(IDC_SOUND_WAIT).checked);
  }
}

TEST_F(SoundTest, SavingWritesTheThreeValuesAndHandsThemToPolls) {
  struct Case {
    const char* name;
    int mode;
    std::u16string field;
    bool ticked;
    uint32_t flag;
    std::u16string file;
    uint32_t sync;
  } cases[] = {
      {"never, whatever the field and the box say", 0, kWave, true, 0, u"", 0},
      {"card, wait", 1, kWave, true, 1, kWave, 1},
      {"user, no wait", 2, kWave, false, 2, kWave, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SettingRig rig;
    rig.files.files.insert(kWave);
    FakeDialogView view;
    AddSoundDialogControls(view);
    SoundDialog dialog(rig.program);
    view.logic = &dialog;
    dialog.OnInit(view);
    view.SelectItem(IDC_SOUND_MODE, c.mode);
    view.At(IDC_SOUND_FILE).text = c.field;
    view.At(IDC_SOUND_WAIT).checked = c.ticked;

    dialog.OnCommand(view, IDC_SOUND_SAVE, 0);

    FakeRegistry::Value flag, file, sync;
    ASSERT_TRUE(rig.registry.GetValue(kKey, u"flag", &flag));
    ASSERT_TRUE(rig.registry.GetValue(kKey, u"file", &file));
    ASSERT_TRUE(rig.registry.GetValue(kKey, u"sync", &sync));
    EXPECT_EQ(flag.type, regtype::kDword);
    EXPECT_EQ(flag.bytes, Le32(c.flag));
    EXPECT_EQ(file.type, regtype::kSz);
    EXPECT_EQ(file.bytes, Utf16Bytes(c.file));  // 2n bytes, no terminator
    EXPECT_EQ(sync.type, regtype::kDword);
    EXPECT_EQ(sync.bytes, Le32(c.sync));
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_EQ(rig.messages.shown[0].text, StringText(IDS_SOUND_WRITTEN));
    EXPECT_EQ(rig.messages.shown[0].caption, StringText(IDS_CAPTION));
    EXPECT_EQ(rig.messages.shown[0].style, mb::kOk);
    EXPECT_EQ(rig.messages.shown[0].owner, nullptr);
    EXPECT_TRUE(view.destroyed);
    EXPECT_EQ(view.quits, 1);
    const SoundSettings& now = rig.program.state.sound;
    EXPECT_EQ(now.flag, static_cast<int32_t>(c.flag));
    EXPECT_EQ(std::u16string(now.file), c.file);
    EXPECT_EQ(now.sync, static_cast<int32_t>(c.sync));
    EXPECT_EQ(rig.registry.OpenHandleCount(), 0u);
  }
}

TEST_F(SoundTest, AFileThatIsNotThereIsRefusedWithNothingWritten) {
  const std::u16string cases[] = {
      u"",                            // empty
      u"C:\\Windows\\Media\\gone.wav",  // missing
      u"C:\\Windows\\Media",           // a folder
      u"C:\\Windows\\Media\\*.wav",     // a pattern matches files but names none
  };
  // As FindFirstFileW, the search would find ding.wav for the pattern.
  ASSERT_TRUE(rig.files.FileExists(u"C:\\Windows\\Media\\*.wav"));
  for (const std::u16string& path : cases) {
    for (int mode : {1, 2}) {
      rig.messages.shown.clear();
      Open();
      view.SelectItem(IDC_SOUND_MODE, mode);
      view.At(IDC_SOUND_FILE).text = path;
      Press(IDC_SOUND_SAVE);
      ASSERT_EQ(rig.messages.shown.size(), 1u);
      EXPECT_EQ(rig.messages.shown[0].text, StringText(IDS_SOUND_FILE_MISSING));
      EXPECT_EQ(rig.messages.shown[0].style, mb::kIconError);
      EXPECT_EQ(rig.messages.shown[0].owner, nullptr);
      EXPECT_FALSE(rig.registry.KeyExists(kKey));
      EXPECT_FALSE(view.destroyed);
      EXPECT_EQ(view.At(IDC_SOUND_FILE).text, path);  // the user's input stays
    }
  }
}

TEST_F(SoundTest, AFailureAtAnyStepStopsThereKeepsTheEarlierValuesAndTheDialog) {
  struct Case {
    const char* name;
    const char16_t* failingValue;  // null: the key cannot be created
    bool flagWritten;
    bool fileWritten;
  } cases[] = {
      {"key", nullptr, false, false},
      {"flag", u"flag", false, false},
      {"file", u"file", true, false},
      {"sync", u"sync", true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SettingRig rig;
    rig.files.files.insert(kWave);
    FakeDialogView view;
    AddSoundDialogControls(view);
    SoundDialog dialog(rig.program);
    view.logic = &dialog;
    rig.program.state.sound.flag = 2;
    rig.program.state.sound.file[0] = u'o';
    rig.program.state.sound.sync = 0;
    if (c.failingValue) rig.registry.FailSetValue(c.failingValue);
    else rig.registry.FailCreateKey(RegRoot::LocalMachine, kKey);
    dialog.OnInit(view);
    view.SelectItem(IDC_SOUND_MODE, 1);
    view.At(IDC_SOUND_FILE).text = kWave;
    view.At(IDC_SOUND_WAIT).checked = true;

    dialog.OnCommand(view, IDC_SOUND_SAVE, 0);

    uint32_t number = 0;
    std::u16string text;
    EXPECT_EQ(rig.registry.GetDword(kKey, u"flag", &number), c.flagWritten);
    if (c.flagWritten) {
      EXPECT_EQ(number, 1u);
    }
    EXPECT_EQ(rig.registry.GetString(kKey, u"file", &text), c.fileWritten);
    if (c.fileWritten) {
      EXPECT_EQ(text, kWave);
    }
    EXPECT_FALSE(rig.registry.GetDword(kKey, u"sync", &number));
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_EQ(rig.messages.shown[0].text, StringText(IDS_SOUND_WRITE_FAILED));
    EXPECT_EQ(rig.messages.shown[0].style, mb::kOk);
    EXPECT_FALSE(view.destroyed);
    EXPECT_EQ(view.At(IDC_SOUND_FILE).text, kWave);
    EXPECT_EQ(rig.program.state.sound.flag, 2);
    EXPECT_EQ(std::u16string(rig.program.state.sound.file), u"o");
    EXPECT_EQ(rig.registry.OpenHandleCount(), 0u);
  }
}

TEST_F(SoundTest, WriteReturnsTheMessageToShow) {
  const Message written = WriteSoundSettings(rig.program, 1, kWave.c_str(), 0);
  EXPECT_EQ(written.id, IDS_SOUND_WRITTEN);
  EXPECT_EQ(written.style, mb::kOk);
  rig.registry.FailSetValue(u"sync");
  const Message failed = WriteSoundSettings(rig.program, 1, kWave.c_str(), 0);
  EXPECT_EQ(failed.id, IDS_SOUND_WRITE_FAILED);
  EXPECT_EQ(failed.style, mb::kOk);
  // The writer decides; only the dialog's command shows.
  EXPECT_THAT(rig.messages.shown, ::testing::IsEmpty());
}

TEST_F(SoundTest, AnEmptyPathIsStoredAsZeroBytesAndTheLongestAs518) {
  for (const std::u16string& path : {std::u16string(), std::u16string(259, u'p')}) {
    WriteSoundSettings(rig.program, 0, path.c_str(), 0);
    FakeRegistry::Value file;
    ASSERT_TRUE(rig.registry.GetValue(kKey, u"file", &file));
    EXPECT_EQ(file.bytes.size(), 2 * path.size());
    // And it reads back as it was.
    SoundSettings back;
    ASSERT_TRUE(ReadSoundSettings(rig.program, back));
    EXPECT_EQ(std::u16string(back.file), path);
  }
}

TEST_F(SoundTest, SavingWithAStoredModeTheListDoesNotKnowWritesNever) {
  StoreKey(5, kWave, 1);
  Open();
  ASSERT_EQ(view.At(IDC_SOUND_MODE).selection, -1);
  Press(IDC_SOUND_SAVE);
  uint32_t flag = 99, sync = 99;
  std::u16string file = u"?";
  ASSERT_TRUE(rig.registry.GetDword(kKey, u"flag", &flag));
  ASSERT_TRUE(rig.registry.GetString(kKey, u"file", &file));
  ASSERT_TRUE(rig.registry.GetDword(kKey, u"sync", &sync));
  EXPECT_EQ(flag, 0u);
  EXPECT_EQ(file, u"");
  EXPECT_EQ(sync, 0u);
  EXPECT_EQ(rig.program.state.sound.flag, 0);
}

TEST_F(SoundTest, CancelWritesNothing) {
  StoreKey(1, kWave, 1);
  Open();
  view.SelectItem(IDC_SOUND_MODE, 0);
  Press(IDC_SOUND_CANCEL);
  EXPECT_TRUE(view.destroyed);
  EXPECT_EQ(view.quits, 1);
  uint32_t flag = 0;
  ASSERT_TRUE(rig.registry.GetDword(kKey, u"flag", &flag));
  EXPECT_EQ(flag, 1u);
  EXPECT_TRUE(rig.messages.shown.empty());
  EXPECT_EQ(rig.program.state.sound.flag, 0);
}

TEST_F(SoundTest, ExtensionRules) {
  struct Case {
    std::u16string path;
    std::u16string extension;
  } cases[] = {
      {u".WAV", u".WAV"},  // the first character is never looked at
      {u"a.b\\c", u""},
      {u"c:wav", u""},
      {u"", u""},
      {u"wav", u"wav"},
      {u"C:\\Media\\ding.WAV", u"WAV"},
      {u"a/b.wav", u"wav"},
      {u"a.tar.gz", u"gz"},
      {u"C:\\dir.x\\file", u""},
      {u"name.", u""},
  };
  for (const Case& c : cases) EXPECT_EQ(std::u16string(FileExtension(c.path.c_str())), c.extension) << std::string(c.path.begin(), c.path.end());
}

TEST_F(SoundTest, ADroppedWaveFileFillsTheFieldEvenWhileItIsOff) {
  struct Case {
    std::u16string dropped;
    bool taken;
  } cases[] = {
      {u"C:\\Media\\ding.wav", true},
      {u"C:\\Media\\DING.WAV", true},
      {u"C:\\Media\\ding.Wav", true},
      {u"C:\\Media\\song.mp3", false},
      {u"C:\\Media\\ding.wav.txt", false},
      {u"C:\\Media\\wav", false},
      {u"C:\\Media\\x.wave", false},
      {u"", false},  // the host could take no file
  };
  StoreKey(0, u"", 0);
  Open();
  ASSERT_FALSE(Enabled(IDC_SOUND_FILE));  // mode 0: the field is off
  int foregrounds = 0;
  for (const Case& c : cases) {
    view.At(IDC_SOUND_FILE).text = u"before";
    dialog.OnDropFile(view, c.dropped.c_str());
    EXPECT_EQ(view.At(IDC_SOUND_FILE).text, c.taken ? c.dropped : u"before");
    EXPECT_EQ(view.foregrounds, ++foregrounds);
  }
  EXPECT_FALSE(view.destroyed);
  EXPECT_TRUE(rig.messages.shown.empty());
}

TEST_F(SoundTest, BrowseOffersWaveFilesAndFillsTheFieldWithTheChoice) {
  Open();
  view.At(IDC_SOUND_FILE).text = u"C:\\old.wav";
  rig.files.chooseSucceeds = false;
  Press(IDC_SOUND_BROWSE);
  EXPECT_EQ(view.At(IDC_SOUND_FILE).text, u"C:\\old.wav");
  rig.files.chooseSucceeds = true;
  rig.files.chosen = kWave;
  Press(IDC_SOUND_BROWSE);
  EXPECT_EQ(view.At(IDC_SOUND_FILE).text, kWave);

  ASSERT_EQ(rig.files.chooseCalls.size(), 2u);
  for (const FakeFiles::ChooseCall& call : rig.files.chooseCalls) {
    EXPECT_EQ(call.owner, &view);
    EXPECT_EQ(call.filter, StringText(IDS_WAV_FILTER) + std::u16string(1, 0) + u"*.wav" +
                               std::u16string(2, 0));
    EXPECT_EQ(call.title, StringText(IDS_BROWSE_TITLE));
    EXPECT_EQ(call.flags, 0x100Cu);
    EXPECT_EQ(call.initialText, u"");  // the field's text is not offered
    EXPECT_EQ(call.capacity, 260u);
  }
}

TEST_F(SoundTest, APollPlaysOnlyAChosenFileInModes1And2) {
  struct Case {
    int32_t flag;
    std::u16string file;
    bool plays;
  } cases[] = {
      {0, kWave, false}, {1, kWave, true}, {2, kWave, true}, {3, kWave, false},
      {-1, kWave, false}, {1, u"", false}, {2, u"", false},
      // Stored by some other writer: this program runs elevated and plays
      // no path the dialog would refuse.
      {1, u"\\\\server\\share\\ding.wav", false},
      {2, u"C:\\Media\\ding?.wav", false},
  };
  for (const Case& c : cases) {
    SettingRig rig;
    rig.program.state.sound.flag = c.flag;
    BoundedCopy(rig.program.state.sound.file, kTextSize, c.file.c_str());
    rig.program.state.sound.sync = 1;
    PlayRecognitionSound(rig.program);
    EXPECT_EQ(rig.sound.played, c.plays ? std::vector<std::u16string>{c.file}
                                        : std::vector<std::u16string>{})
        << c.flag;
  }
}

TEST_F(SoundTest, TheNextPollPlaysWhatWasJustSaved) {
  rig.program.state.sound.flag = 1;
  BoundedCopy(rig.program.state.sound.file, kTextSize, u"C:\\old.wav");
  const std::u16string fresh = u"C:\\Media\\new.wav";
  rig.files.files.insert(fresh);
  Open();
  view.SelectItem(IDC_SOUND_MODE, 2);
  view.At(IDC_SOUND_FILE).text = fresh;
  Press(IDC_SOUND_SAVE);
  PlayRecognitionSound(rig.program);
  EXPECT_EQ(rig.sound.played, std::vector<std::u16string>{fresh});
}

// A dialog opened without a sound key: its controls start enabled with
// "しない" selected, so any event taken as a choice of mode disables them.
struct NoKeyDialog {
  SettingRig rig;
  FakeDialogView view;
  SoundDialog dialog{rig.program};
  NoKeyDialog() {
    AddSoundDialogControls(view);
    view.logic = &dialog;
    rig.files.files.insert(kWave);
    dialog.OnInit(view);
  }
  bool ControlsOn() {
    const bool file = view.At(IDC_SOUND_FILE).enabled;
    EXPECT_EQ(view.At(IDC_SOUND_BROWSE).enabled, file);
    EXPECT_EQ(view.At(IDC_SOUND_WAIT).enabled, file);
    return file;
  }
};

TEST(SoundDialogEvents, OnlyAChoiceOfModeOrAFilledFieldSwitchesTheControls) {
  struct Case {
    const char* name;
    std::function<void(NoKeyDialog&)> event;
    bool switches;
  } cases[] = {
      {"a keystroke in the field (EN_CHANGE)",
       [](NoKeyDialog& d) {
         d.view.At(IDC_SOUND_FILE).text = u"C:\\W";
         d.dialog.OnCommand(d.view, IDC_SOUND_FILE, 0x300);
       },
       false},
      {"EN_UPDATE", [](NoKeyDialog& d) { d.dialog.OnCommand(d.view, IDC_SOUND_FILE, 0x400); }, false},
      {"EN_MAXTEXT", [](NoKeyDialog& d) { d.dialog.OnCommand(d.view, IDC_SOUND_FILE, 0x501); },
       false},
      {"a click on the wait box",
       [](NoKeyDialog& d) {
         d.view.At(IDC_SOUND_WAIT).checked = true;
         d.dialog.OnCommand(d.view, IDC_SOUND_WAIT, 0);
       },
       false},
      {"the list dropped down and closed without a pick",
       [](NoKeyDialog& d) {
         for (int code : {7, 8, 10}) d.dialog.OnCommand(d.view, IDC_SOUND_MODE, code);
       },
       false},
      {"focus moving", [](NoKeyDialog& d) {
         d.dialog.OnCommand(d.view, IDC_SOUND_MODE, 3);
         d.dialog.OnCommand(d.view, IDC_SOUND_FILE, 0x100);
         d.dialog.OnCommand(d.view, IDC_SOUND_WAIT, 6);
       },
       false},
      {"a command of no control", [](NoKeyDialog& d) { d.dialog.OnCommand(d.view, 1234, 0); },
       false},
      {"browse cancelled", [](NoKeyDialog& d) { d.dialog.OnCommand(d.view, IDC_SOUND_BROWSE, 0); },
       false},
      {"a dropped file that is no wave file",
       [](NoKeyDialog& d) { d.dialog.OnDropFile(d.view, u"C:\\Media\\song.mp3"); }, false},
      {"a dropped wave file that is refused",
       [](NoKeyDialog& d) { d.dialog.OnDropFile(d.view, u"\\\\server\\share\\ding.wav"); }, false},
      {"the mode chosen (CBN_SELCHANGE)",
       [](NoKeyDialog& d) { d.dialog.OnCommand(d.view, IDC_SOUND_MODE, 1); }, true},
      {"a file chosen by browsing",
       [](NoKeyDialog& d) {
         d.rig.files.chooseSucceeds = true;
         d.rig.files.chosen = kWave;
         d.dialog.OnCommand(d.view, IDC_SOUND_BROWSE, 0);
       },
       true},
      {"a wave file dropped", [](NoKeyDialog& d) { d.dialog.OnDropFile(d.view, kWave.c_str()); },
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    NoKeyDialog d;
    ASSERT_TRUE(d.ControlsOn());
    c.event(d);
    EXPECT_EQ(d.ControlsOn(), !c.switches);  // "しない" switches them off
    EXPECT_TRUE(d.view.misuse.empty());
  }
  // And what was typed while the field stayed on is saved once a mode is chosen.
  NoKeyDialog d;
  d.view.At(IDC_SOUND_FILE).text = kWave;
  d.dialog.OnCommand(d.view, IDC_SOUND_FILE, 0x300);
  d.view.At(IDC_SOUND_WAIT).checked = true;
  d.dialog.OnCommand(d.view, IDC_SOUND_WAIT, 0);
  d.view.SelectItem(IDC_SOUND_MODE, 1);
  d.dialog.OnCommand(d.view, IDC_SOUND_MODE, 1);
  EXPECT_TRUE(d.ControlsOn());
  d.dialog.OnCommand(d.view, IDC_SOUND_SAVE, 0);
  uint32_t flag = 0, sync = 0;
  std::u16string file;
  ASSERT_TRUE(d.rig.registry.GetDword(kKey, u"flag", &flag));
  ASSERT_TRUE(d.rig.registry.GetString(kKey, u"file", &file));
  ASSERT_TRUE(d.rig.registry.GetDword(kKey, u"sync", &sync));
  EXPECT_EQ(flag, 1u);
  EXPECT_EQ(file, kWave);
  EXPECT_EQ(sync, 1u);
}

// Paths of 259 and 260 characters whose first 259 name an existing file.
const std::u16string kLongest = u"C:\\" + std::u16string(252, u'a') + u".wav";
const std::u16string kOneTooLong = kLongest + u"x";

struct PathCase {
  std::u16string path;
  bool allowed;
  // FileExists would answer true: a directory search would find a file.
  bool found;
};

// Every refused form is stored as a file the fakes would find where they
// can, so that only the path's form refuses it.
const PathCase kPathCases[] = {
    {kWave, true, true},
    {u"c:\\windows\\media\\DING.WAV", true, true},
    {u"Z:\\x.wav", true, true},
    {kLongest, true, true},
    {u"C:\\Media\\ding dong.wav", true, true},
    {u"C:\\Media\\.ding.wav", true, true},
    {u"C:\\Media\\console.wav", true, true},
    {u"C:\\Media\\COM10.wav", true, true},
    {u"C:\\Media\\nul1.wav", true, true},
    {u"C:\\音声\\チャイム.wav", true, true},
    {u"C:\\Media\\a~1.wav", true, true},
    // Another computer: probing it sends the machine's credentials there.
    {u"\\\\server\\share\\ding.wav", false, true},
    {u"//server/share/ding.wav", false, true},
    {u"\\\\?\\UNC\\server\\share\\ding.wav", false, false},
    // Device and namespace paths.
    {u"\\\\?\\C:\\Media\\ding.wav", false, false},
    {u"\\\\.\\C:\\Media\\ding.wav", false, true},
    {u"\\\\.\\pipe\\ding.wav", false, false},
    {u"\\??\\C:\\Media\\ding.wav", false, false},
    {u"C:\\Media\\nul.wav", false, true},
    {u"C:\\Media\\NUL", false, true},
    {u"C:\\Media\\con.wav", false, true},
    {u"C:\\Media\\aux .wav", false, true},
    {u"C:\\Media\\Com1.wav", false, true},
    {u"C:\\Media\\lpt9", false, true},
    {u"C:\\Media\\COM\u00B9.wav", false, true},
    {u"C:\\Media\\conout$.wav", false, true},
    {u"C:\\prn\\ding.wav", false, true},
    // Wildcards: the search takes them as a pattern and finds ding.wav.
    {u"C:\\Media\\ding?.wav", false, true},
    {u"C:\\Media\\d*.wav", false, true},
    {u"C:\\Media\\d<.wav", false, true},
    {u"C:\\Media\\ding>.wav", false, true},
    {u"C:\\Media\\ding\".wav", false, false},
    {u"C:\\Medi?\\ding.wav", false, false},
    {u"C:\\Media\\di|ng.wav", false, true},
    {u"C:\\Media\\ding\x01.wav", false, true},
    // Not a full path, or not the path that would be opened.
    {u"ding.wav", false, true},
    {u"\\Media\\ding.wav", false, true},
    {u"C:ding.wav", false, true},
    {u"C:/Media/ding.wav", false, true},
    {u"C:\\Media/ding.wav", false, true},
    {u"C:\\Other\\..\\Media\\ding.wav", false, true},
    {u"C:\\Media\\.\\ding.wav", false, true},
    {u"C:\\Media\\\\ding.wav", false, true},
    {u"C:\\Media\\", false, false},
    {u"C:\\", false, false},
    {u"C:\\Media\\ding.wav.", false, true},
    {u"C:\\Media\\ding.wav ", false, true},
    {u"C:\\Media\\ding.wav. .", false, true},
    {u"C:\\Media.\\ding.wav", false, false},
    {u"1:\\ding.wav", false, true},
    {u"\u00C4:\\ding.wav", false, true},
    // Alternate data streams.
    {u"C:\\Media\\ding.wav:stream", false, false},
    {u"C:\\Media\\ding.wav::$DATA", false, false},
    // Too long for the field: never cut to the file it starts with.
    {kOneTooLong, false, false},
    {u"", false, false},
};

// The files behind the cases, named as a search would find them.
void AddCaseFiles(FakeFiles& files) {
  for (const char16_t* f :
       {u"C:\\Windows\\Media\\ding.wav", u"Z:\\x.wav", u"C:\\Media\\ding dong.wav",
        u"C:\\Media\\.ding.wav", u"C:\\Media\\console.wav", u"C:\\Media\\COM10.wav",
        u"C:\\Media\\nul1.wav", u"C:\\音声\\チャイム.wav", u"C:\\Media\\a~1.wav",
        u"\\\\server\\share\\ding.wav", u"C:\\Media\\ding.wav", u"C:\\Media\\nul.wav",
        u"C:\\Media\\NUL", u"C:\\Media\\con.wav", u"C:\\Media\\aux .wav", u"C:\\Media\\Com1.wav",
        u"C:\\Media\\lpt9", u"C:\\Media\\COM\u00B9.wav", u"C:\\Media\\conout$.wav",
        u"C:\\prn\\ding.wav", u"C:\\Media\\di|ng.wav", u"C:\\Media\\ding\x01.wav", u"ding.wav",
        u"Media\\ding.wav", u"C:ding.wav", u"1:\\ding.wav", u"\u00C4:\\ding.wav"})
    files.files.insert(f);
  files.files.insert(kLongest);
  files.folders.insert(u"C:\\Media");
}

TEST(SoundPaths, OnlyAFullPathOnALocalDriveIsSavedAndARefusedOneIsNeverProbed) {
  for (const PathCase& c : kPathCases) {
    SCOPED_TRACE(std::string(c.path.begin(), c.path.end()));
    EXPECT_EQ(IsAllowedSoundPath(c.path.c_str()), c.allowed);
    {
      FakeFiles search;
      AddCaseFiles(search);
      EXPECT_EQ(search.FileExists(c.path.c_str()), c.found);
    }
    for (int mode : {1, 2}) {
      SettingRig rig;
      AddCaseFiles(rig.files);
      FakeDialogView view;
      AddSoundDialogControls(view);
      SoundDialog dialog(rig.program);
      view.logic = &dialog;
      dialog.OnInit(view);
      view.SelectItem(IDC_SOUND_MODE, mode);
      view.At(IDC_SOUND_FILE).text = c.path;
      dialog.OnCommand(view, IDC_SOUND_SAVE, 0);
      ASSERT_EQ(rig.messages.shown.size(), 1u);
      std::u16string stored;
      if (c.allowed) {
        EXPECT_EQ(rig.messages.shown[0].text, StringText(IDS_SOUND_WRITTEN));
        ASSERT_TRUE(rig.registry.GetString(kKey, u"file", &stored));
        EXPECT_EQ(stored, c.path);
        EXPECT_EQ(std::u16string(rig.program.state.sound.file), c.path);
      } else {
        EXPECT_EQ(rig.messages.shown[0].text, StringText(IDS_SOUND_FILE_MISSING));
        EXPECT_EQ(rig.messages.shown[0].style, mb::kIconError);
        EXPECT_FALSE(rig.registry.KeyExists(kKey));
        EXPECT_FALSE(view.destroyed);
        EXPECT_EQ(view.At(IDC_SOUND_FILE).text, c.path);  // kept, never cut
        EXPECT_TRUE(rig.files.asked.empty());
      }
    }
  }
}

TEST(SoundPaths, ABrowsedFileGoesThroughTheSameRules) {
  for (const PathCase& c : kPathCases) {
    if (c.path.size() >= 260 || c.path.empty()) continue;  // the file dialog's buffer
    SCOPED_TRACE(std::string(c.path.begin(), c.path.end()));
    NoKeyDialog d;
    d.view.At(IDC_SOUND_FILE).text = u"before";
    d.rig.files.chooseSucceeds = true;
    d.rig.files.chosen = c.path;
    d.dialog.OnCommand(d.view, IDC_SOUND_BROWSE, 0);
    EXPECT_EQ(d.view.At(IDC_SOUND_FILE).text, c.allowed ? c.path : u"before");
    ASSERT_EQ(d.rig.messages.shown.size(), c.allowed ? 0u : 1u);
    if (!c.allowed) {
      EXPECT_EQ(d.rig.messages.shown[0].text, StringText(IDS_SOUND_FILE_MISSING));
    }
  }
}

TEST(SoundPaths, ADroppedNameIsTakenWholeAndGoesThroughTheSameRules) {
  const std::u16string wavInFirst259 = kLongest + u"x";  // cut, it would end in .wav
  struct Case {
    const char* name;
    std::u16string dropped;
    bool taken;
    bool refused;  // message 151
  } cases[] = {
      {"259 characters", kLongest, true, false},
      {"260 characters ending in .wav", std::u16string(256, u'a') + u".wav", false, true},
      {"260 characters, the first 259 ending in .wav", wavInFirst259, false, true},
      {"4000 characters", u"C:\\" + std::u16string(3993, u'a') + u".wav", false, true},
      {"260 characters, no wave file", std::u16string(256, u'a') + u".mp3", false, true},
      {"a UNC path", u"\\\\server\\share\\ding.wav", false, true},
      {"a pattern", u"C:\\Media\\ding?.wav", false, true},
      {"a device", u"C:\\Media\\nul.wav", false, true},
      {"a namespace path", u"\\\\?\\C:\\Media\\ding.wav", false, true},
      {"a trailing dot", u"C:\\Media\\x.wav.", false, false},  // no wave file: ignored
      {"a stream", u"C:\\Media\\ding.wav:s", false, false},   // no wave file: ignored
      {"a local wave file", kWave, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    NoKeyDialog d;
    d.view.At(IDC_SOUND_FILE).text = u"before";
    d.dialog.OnDropFile(d.view, c.dropped.c_str());
    EXPECT_EQ(d.view.At(IDC_SOUND_FILE).text, c.taken ? c.dropped : u"before");
    ASSERT_EQ(d.rig.messages.shown.size(), c.refused ? 1u : 0u);
    if (c.refused) {
      EXPECT_EQ(d.rig.messages.shown[0].text, StringText(IDS_SOUND_FILE_MISSING));
      EXPECT_EQ(d.rig.messages.shown[0].style, mb::kIconError);
    }
    EXPECT_EQ(d.view.foregrounds, 1);
    EXPECT_TRUE(d.rig.files.asked.empty());  // a drop probes nothing
    EXPECT_FALSE(d.view.destroyed);
  }
}

TEST_F(SoundTest, RunOpensTemplate158AndF1AsksForContext10) {
  rig.dialogs.controls = [](int, FakeDialogView& v) { AddSoundDialogControls(v); };
  rig.dialogs.script = [&](int, DialogLogic& logic, FakeDialogView& v) {
    v.logic = &logic;
    logic.OnHelpKey();
    logic.OnCommand(v, IDC_SOUND_CANCEL, 0);
    EXPECT_EQ(v.quits, 1);
  };
  RunSoundDialog(rig.program);
  ASSERT_EQ(rig.dialogs.runs.size(), 1u);
  EXPECT_EQ(rig.dialogs.runs[0].templateId, IDD_SOUND);
  ASSERT_EQ(rig.help.calls.size(), 1u);
  EXPECT_EQ(rig.help.calls[0].context, static_cast<uint32_t>(HELP_CONTEXT_SOUND));
}

}  // namespace
}  // namespace orvane
