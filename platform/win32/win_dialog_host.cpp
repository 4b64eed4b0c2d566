// A logic asking for a control its template lacks is a programming error:
// this check stays in every build, release included.
#undef NDEBUG
#include <cassert>

#include "platform/win32/win_dialog_host.h"

#include <commctrl.h>
#include <shellapi.h>

namespace orvane {

namespace {

const wchar_t* W(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
wchar_t* W(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }

struct Session {
  DialogLogic* logic;
  WinDialogView* view;
  bool destroyed = false;  // set at WM_DESTROY: the loop's end
  HWND hwnd = nullptr;
  Session* outer = nullptr;  // the dialog whose loop this one runs in
};

// The dialogs whose loops run, innermost first. The innermost loop takes
// every message of the thread, so it gives each message to the keyboard
// handling of the dialog it belongs to (Tab, Enter and Esc keep working in
// a dialog under the one opened last). One user-interface thread.
Session* g_running = nullptr;

HWND RunningDialogOf(HWND window) {
  HWND root = window != nullptr ? GetAncestor(window, GA_ROOT) : nullptr;
  if (root == nullptr) return nullptr;
  for (Session* s = g_running; s != nullptr; s = s->outer)
    if (!s->destroyed && s->hwnd == root) return root;
  return nullptr;
}

// The whole first name, however long: what is too long for a path is the
// logic's to refuse, and a name cut here could name another file.
void DeliverDrop(DialogLogic& logic, WinDialogView& view, HDROP drop) {
  static const wchar_t kNone[] = L"";
  const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
  wchar_t* path = nullptr;
  if (length > 0 && length < 0x7FFFFFFFu / sizeof(wchar_t)) {
    const SIZE_T bytes = (static_cast<SIZE_T>(length) + 1) * sizeof(wchar_t);
    path = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes));
  }
  if (path != nullptr) {
    const UINT copied = DragQueryFileW(drop, 0, path, length + 1);
    path[copied <= length ? copied : 0] = 0;
  }
  DragFinish(drop);
  logic.OnDropFile(view, reinterpret_cast<const char16_t*>(path != nullptr ? path : kNone));
  if (path != nullptr) HeapFree(GetProcessHeap(), 0, path);
}

INT_PTR CALLBACK HostDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    Session* session = reinterpret_cast<Session*>(lParam);
    SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(session));
    session->hwnd = hwnd;
    session->view->Attach(hwnd);
    return session->logic->OnInit(*session->view) ? TRUE : FALSE;
  }
  Session* session = reinterpret_cast<Session*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  if (session == nullptr) return FALSE;
  DialogLogic& logic = *session->logic;
  WinDialogView& view = *session->view;
  switch (message) {
    case WM_COMMAND:
      return logic.OnCommand(view, LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
    case WM_TIMER:
      logic.OnTimer(view, static_cast<int>(wParam));
      return TRUE;
    case WM_DEVICECHANGE:
      logic.OnDeviceChange(view);
      return TRUE;
    case WM_NOTIFY: {
      const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
      logic.OnNotify(view, static_cast<int>(header->idFrom), static_cast<int>(header->code));
      return FALSE;
    }
    case WM_DROPFILES:
      // The handle is only trusted, queried and freed by a dialog that asked
      // for drops; to any other it is a message from outside.
      if (!view.AcceptsDroppedFiles()) return FALSE;
      DeliverDrop(logic, view, reinterpret_cast<HDROP>(wParam));
      return TRUE;
    case WM_DESTROY:
      session->destroyed = true;
      logic.OnDestroy(view);
      SetWindowLongPtrW(hwnd, DWLP_USER, 0);
      view.Attach(nullptr);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

HWND WinDialogView::Item(int id) const {
  // No window (before WM_INITDIALOG, after WM_DESTROY): there is nothing to change.
  if (hwnd_ == nullptr) return nullptr;
  HWND item = GetDlgItem(hwnd_, id);
  assert(item != nullptr && "the dialog template has every control its logic asks for");
  return item;
}

void WinDialogView::SetText(int id, const char16_t* text) {
  if (HWND item = Item(id)) SetWindowTextW(item, W(text));
}

void WinDialogView::GetText(int id, char16_t* out, int capacity) {
  if (capacity <= 0) return;
  out[0] = 0;
  HWND item = Item(id);
  if (item == nullptr) return;
  GetWindowTextW(item, W(out), capacity);
  out[capacity - 1] = 0;
}

void WinDialogView::Enable(int id, bool enabled) {
  if (HWND item = Item(id)) EnableWindow(item, enabled ? TRUE : FALSE);
}

void WinDialogView::SetCheck(int id, bool checked) {
  if (HWND item = Item(id)) SendMessageW(item, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool WinDialogView::IsChecked(int id) {
  HWND item = Item(id);
  return item != nullptr && SendMessageW(item, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void WinDialogView::SetFocus(int id) {
  if (HWND item = Item(id)) SendMessageW(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item), TRUE);
}

void WinDialogView::LimitText(int id, int maxLength) {
  if (HWND item = Item(id)) SendMessageW(item, EM_LIMITTEXT, static_cast<WPARAM>(maxLength), 0);
}

void WinDialogView::AddItem(int id, const char16_t* text) {
  if (HWND item = Item(id)) SendMessageW(item, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(text)));
}

void WinDialogView::SelectItem(int id, int index) {
  if (HWND item = Item(id)) SendMessageW(item, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int WinDialogView::SelectedItem(int id) {
  HWND item = Item(id);
  return item ? static_cast<int>(SendMessageW(item, CB_GETCURSEL, 0, 0)) : -1;
}

ListMetrics WinDialogView::GetListMetrics(int id) {
  ListMetrics metrics;
  RECT client = {};
  if (HWND item = Item(id)) GetClientRect(item, &client);
  metrics.clientWidth = client.right - client.left;
  metrics.edgeWidth = GetSystemMetrics(SM_CXEDGE);
  metrics.vscrollWidth = GetSystemMetrics(SM_CXVSCROLL);
  return metrics;
}

void WinDialogView::SetListStyle(int id, uint32_t extendedStyle) {
  DWORD style = 0;
  if (extendedStyle & kListFullRowSelect) style |= LVS_EX_FULLROWSELECT;
  if (extendedStyle & kListLabelTip) style |= LVS_EX_LABELTIP;
  if (HWND item = Item(id)) SendMessageW(item, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, style);
}

void WinDialogView::AddListColumn(int id, int column, const char16_t* header, int width) {
  HWND item = Item(id);
  if (item == nullptr) return;
  LVCOLUMNW lvc = {};
  lvc.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
  lvc.fmt = LVCFMT_LEFT;
  lvc.cx = width;
  lvc.pszText = const_cast<wchar_t*>(W(header));
  lvc.iSubItem = column;
  SendMessageW(item, LVM_INSERTCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&lvc));
}

int WinDialogView::AddListRow(int id, const char16_t* column0, const char16_t* column1,
                              std::uintptr_t value) {
  HWND item = Item(id);
  if (item == nullptr) return -1;
  LVITEMW lvi = {};
  lvi.mask = LVIF_TEXT | LVIF_PARAM;
  lvi.iItem = static_cast<int>(SendMessageW(item, LVM_GETITEMCOUNT, 0, 0));
  lvi.pszText = const_cast<wchar_t*>(W(column0));
  lvi.lParam = static_cast<LPARAM>(value);
  int row = static_cast<int>(SendMessageW(item, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&lvi)));
  if (row < 0) return -1;
  LVITEMW sub = {};
  sub.iSubItem = 1;
  sub.pszText = const_cast<wchar_t*>(W(column1));
  SendMessageW(item, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&sub));
  return row;
}

int WinDialogView::ListRowCount(int id) {
  HWND item = Item(id);
  return item ? static_cast<int>(SendMessageW(item, LVM_GETITEMCOUNT, 0, 0)) : 0;
}

int WinDialogView::SelectedListRow(int id) {
  HWND item = Item(id);
  if (item == nullptr) return -1;
  return static_cast<int>(SendMessageW(item, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void WinDialogView::SelectListRow(int id, int row) {
  HWND item = Item(id);
  if (item == nullptr) return;
  LVITEMW lvi = {};
  lvi.stateMask = LVIS_SELECTED;
  lvi.state = LVIS_SELECTED;
  SendMessageW(item, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&lvi));
}

bool WinDialogView::GetListText(int id, int row, int column, char16_t* out, int capacity) {
  if (capacity <= 0) return false;
  out[0] = 0;
  HWND item = Item(id);
  if (item == nullptr) return false;
  LVITEMW lvi = {};
  lvi.iSubItem = column;
  lvi.pszText = W(out);
  lvi.cchTextMax = capacity;
  SendMessageW(item, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&lvi));
  out[capacity - 1] = 0;
  return true;
}

std::uintptr_t WinDialogView::ListRowValue(int id, int row) {
  HWND item = Item(id);
  if (item == nullptr) return 0;
  LVITEMW lvi = {};
  lvi.mask = LVIF_PARAM;
  lvi.iItem = row;
  if (!SendMessageW(item, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&lvi))) return 0;
  return static_cast<std::uintptr_t>(lvi.lParam);
}

void WinDialogView::DeleteListRow(int id, int row) {
  if (HWND item = Item(id)) SendMessageW(item, LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
}

void WinDialogView::BeginListFill(int id) {
  if (HWND item = Item(id)) SendMessageW(item, WM_SETREDRAW, FALSE, 0);
}

void WinDialogView::EndListFill(int id) {
  HWND item = Item(id);
  if (item == nullptr) return;
  SendMessageW(item, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(item, nullptr, TRUE);
}

void WinDialogView::SetTimer(int timerId, uint32_t periodMs) {
  ::SetTimer(hwnd_, static_cast<UINT_PTR>(timerId), periodMs, nullptr);
}

void WinDialogView::KillTimer(int timerId) { ::KillTimer(hwnd_, static_cast<UINT_PTR>(timerId)); }

void WinDialogView::Center() {
  SendMessageW(hwnd_, WM_SETICON, ICON_BIG,
               reinterpret_cast<LPARAM>(LoadIconW(instance_, MAKEINTRESOURCEW(bigIcon_))));
  SendMessageW(hwnd_, WM_SETICON, ICON_SMALL,
               reinterpret_cast<LPARAM>(LoadIconW(instance_, MAKEINTRESOURCEW(smallIcon_))));
  RECT client = {};
  GetClientRect(hwnd_, &client);
  const int x = (GetSystemMetrics(SM_CXSCREEN) - (client.right - client.left)) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - (client.bottom - client.top)) / 2;
  SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void WinDialogView::AcceptDroppedFiles() {
  if (hwnd_ == nullptr) return;
  // Drops come from Explorer, which runs without elevation: let through from
  // lower integrity only the drop and the copy of its data that precedes it,
  // and only to this window (never the whole process, never WM_COPYDATA).
  // Looked up at run time: a system without it just takes no such drops.
  using FilterEx = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
  constexpr UINT kCopyGlobalData = 0x0049;  // WM_COPYGLOBALDATA
  constexpr DWORD kAllow = 1;               // MSGFLT_ALLOW
  if (HMODULE user32 = GetModuleHandleW(L"user32.dll")) {
    if (auto filter = reinterpret_cast<FilterEx>(
            reinterpret_cast<void*>(GetProcAddress(user32, "ChangeWindowMessageFilterEx")))) {
      filter(hwnd_, WM_DROPFILES, kAllow, nullptr);
      filter(hwnd_, kCopyGlobalData, kAllow, nullptr);
    }
  }
  DragAcceptFiles(hwnd_, TRUE);
  acceptsDrops_ = true;
}

void WinDialogView::BringToForeground() { SetForegroundWindow(hwnd_); }

void WinDialogView::Destroy() {
  if (hwnd_) DestroyWindow(hwnd_);
}

void WinDialogView::PostQuit() { PostQuitMessage(0); }

bool WinDialogRunner::Run(int templateId, DialogLogic& logic) {
  WinDialogView view(instance_, bigIcon_, smallIcon_);
  Session session{&logic, &view};
  HWND dialog = CreateDialogParamW(instance_, MAKEINTRESOURCEW(templateId), nullptr, HostDialogProc,
                                   reinterpret_cast<LPARAM>(&session));
  if (dialog == nullptr) return false;
  session.outer = g_running;
  g_running = &session;
  ShowWindow(dialog, SW_SHOW);
  // Dialogs nest: each one's loop runs inside a message handler of the loop
  // below it, and any of them may be closed first. A quit says only that
  // some dialog was closed (posted quits merge into one, so they cannot be
  // counted): this loop ends when its own dialog is gone, checked before
  // every wait so that it never waits with nothing left to end it, and a
  // quit it took is posted again for the loop below.
  bool sawQuit = false;
  MSG msg = {};
  while (!session.destroyed) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == -1) {
      // The queue cannot be read: end the dialog rather than spin, so that
      // the logic is never called after Run returns.
      DestroyWindow(dialog);
      continue;
    }
    if (got == 0) {
      sawQuit = true;
      continue;
    }
    // A message sent during the wait may have destroyed the dialog.
    if (!session.destroyed && msg.message == WM_KEYDOWN && msg.wParam == VK_F1) logic.OnHelpKey();
    HWND keyboard = RunningDialogOf(msg.hwnd);
    if (keyboard == nullptr || !IsDialogMessageW(keyboard, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  g_running = session.outer;
  if (sawQuit) PostQuitMessage(0);
  return true;
}

}  // namespace orvane
