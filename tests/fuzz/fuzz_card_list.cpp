// The registered-card list over sub-keys of any name and "comment" values of
// any type and length: every row's texts stay inside their buffers, only
// keys with a readable comment of at most 520 bytes become rows, deletion
// and closing release each row's key copy once, and every key is closed.
#include <cstdlib>
#include <string>
#include <vector>

#include "setting/card_list.h"
#include "setting/resource.h"
#include "store/shared_names.h"
#include "tests/fakes/setting_fakes.h"

namespace {

struct Input {
  const uint8_t* data;
  size_t size;
  size_t at = 0;
  uint8_t Byte() { return at < size ? data[at++] : 0; }
  int Int() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(Byte()) << (8 * i);
    return static_cast<int>(v);
  }
  std::vector<unsigned char> Bytes(size_t n) {
    std::vector<unsigned char> out;
    while (n-- && at < size) out.push_back(data[at++]);
    return out;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orvane;
  Input in{data, size};
  SettingRig rig;
  FakeDialogView view;
  AddCardListControls(view, ListMetrics{in.Int(), in.Int(), in.Int()});
  view.notifyListChanges = true;
  CardListDialog dialog(rig.program);
  view.logic = &dialog;

  const std::u16string parent = names::kOrvaneKey;
  const int keys = in.Byte() % 8;
  size_t readable = 0;
  for (int k = 0; k < keys; ++k) {
    // Names of 1 to 16 characters from a small alphabet, so that some
    // collide with the shown card's key and some with "sound".
    static const char16_t kAlphabet[] = u"0123456789abcdefsoundABCDEF_ ";
    std::u16string name;
    for (int n = in.Byte() % 16 + 1; n > 0; --n) name += kAlphabet[in.Byte() % 29];
    const uint8_t flags = in.Byte();
    const uint32_t type = in.Byte() % 12;
    const size_t length = in.Byte() | ((in.Byte() & 0x03) << 8);
    const std::u16string path = parent + u"\\" + name;
    if (rig.registry.KeyExists(path)) continue;  // names fold to one key
    if (flags & 1) {
      rig.registry.SetRaw(path, names::kComment, type, in.Bytes(length));
      FakeRegistry::Value v;
      rig.registry.GetValue(path, names::kComment, &v);
      if (v.bytes.size() <= 520 && !(flags & 2)) ++readable;
    } else {
      rig.registry.SetDword(path, names::kType, 0);
    }
    if (flags & 2) rig.registry.FailOpenKey(RegRoot::LocalMachine, path);
    if (flags & 4) {
      // The shown card is this one, when the name parses as a key.
      rig.program.state.card.permuted.fill(static_cast<unsigned char>(flags));
    }
  }
  if (in.Byte() & 1) rig.registry.FailDeleteKey(RegRoot::LocalMachine, parent + u"\\" + u"a");

  dialog.OnInit(view);
  FakeControl& list = view.At(IDC_CARD_LIST);
  if (list.rows.size() != readable || dialog.KeyCopyCount() != readable) std::abort();
  for (const FakeControl::Row& row : list.rows) {
    if (row.cells[0].size() > 19 || row.cells[1].size() > 259) std::abort();
    for (const std::u16string& cell : row.cells)
      if (cell.find(u'\0') != std::u16string::npos) std::abort();
  }
  if (rig.registry.OpenHandleCount() != 0) std::abort();

  // Delete some rows, answering as the input says.
  for (int step = in.Byte() % 4; step > 0 && !list.rows.empty(); --step) {
    view.SelectListRow(IDC_CARD_LIST, in.Byte() % static_cast<int>(list.rows.size()));
    rig.messages.answers.push_back(in.Byte() & 1 ? mb::kAnswerYes : mb::kAnswerNo);
    dialog.OnCommand(view, IDC_LIST_DELETE, 0);
    if (dialog.KeyCopyCount() != list.rows.size()) std::abort();
  }
  dialog.OnCommand(view, IDC_LIST_CLOSE, 0);
  if (dialog.KeyCopyCount() != 0 || !view.destroyed || view.quits != 1) std::abort();
  if (rig.registry.OpenHandleCount() != 0 || !view.misuse.empty()) std::abort();
  return 0;
}
