// The registered-card list (IDD_CARD_LIST) and deletion of a record.
#ifndef ORVANE_SETTING_CARD_LIST_H
#define ORVANE_SETTING_CARD_LIST_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "setting/setting.h"

namespace orvane {

// The logic of the list dialog. Each row's value is a heap copy of its
// record key; this object owns the copies, so each is released exactly once:
// when its record is deleted, or when the dialog closes.
class CardListDialog : public DialogLogic {
 public:
  explicit CardListDialog(SettingProgram& program);
  ~CardListDialog() override;

  bool OnInit(DialogView& view) override;
  bool OnCommand(DialogView& view, int id, int code) override;
  void OnNotify(DialogView& view, int id, int code) override;
  void OnDestroy(DialogView& view) override;
  void OnHelpKey() override;

  // Columns and rows from the registry; the shown card's row selected.
  void FillCardList(DialogView& view);
  // Asks, then deletes the selected row's record.
  void DeleteSelectedCard(DialogView& view);

  // Record-key copies still held.
  std::size_t KeyCopyCount() const { return keys_.size(); }

 private:
  void ReleaseKeyCopies();
  // The copy a row's value stands for; null when it is not one of ours.
  const std::u16string* KeyOf(std::uintptr_t value) const;

  SettingProgram& program_;
  std::unordered_map<std::uintptr_t, std::unique_ptr<std::u16string>> keys_;
  bool filling_ = false;  // rows being added: their notifications wait for the end
};

// Opens the list dialog and returns when it is closed.
void RunCardListDialog(SettingProgram& program);

}  // namespace orvane

#endif
