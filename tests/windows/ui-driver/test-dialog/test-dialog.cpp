// orvane-ui-test-dialog: a modeless dialog with one control of each kind the
// UI driver operates; each reaction shows up as a static's text, so that a
// driver script can see that its input arrived.
//   ending by WM_CLOSE gives exit code 3, by the "閉じる" button (IDCANCEL) 0,
//   after the debug line "closed by button\n". The name edit takes at most 20
//   characters; a dropped file's name shows up in the answer static.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <string>

#include "ids.h"

namespace {

int exitCode = 0;

void fillList(HWND list) {
  LVCOLUMNW col{};
  col.mask = LVCF_TEXT | LVCF_WIDTH;
  col.cx = 120;
  col.pszText = const_cast<wchar_t*>(L"名前");
  SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&col));
  col.cx = 80;
  col.pszText = const_cast<wchar_t*>(L"値");
  SendMessageW(list, LVM_INSERTCOLUMNW, 1, reinterpret_cast<LPARAM>(&col));
  const wchar_t* rows[][2] = {{L"alpha", L"1"}, {L"ベータ", L"2"}, {L"gamma", L"3"}};
  for (int i = 0; i < 3; ++i) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = i;
    item.pszText = const_cast<wchar_t*>(rows[i][0]);
    SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    item.iSubItem = 1;
    item.pszText = const_cast<wchar_t*>(rows[i][1]);
    SendMessageW(list, LVM_SETITEMTEXTW, i, reinterpret_cast<LPARAM>(&item));
  }
}

std::wstring textOf(HWND dlg, int id) {
  wchar_t buf[256];
  GetDlgItemTextW(dlg, id, buf, 256);
  return buf;
}

INT_PTR CALLBACK dialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG: {
      HWND combo = GetDlgItem(dlg, IDC_COLOR);
      for (const wchar_t* c : {L"赤", L"緑", L"青"}) SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(c));
      fillList(GetDlgItem(dlg, IDC_LIST));
      SendDlgItemMessageW(dlg, IDC_NAME, EM_LIMITTEXT, 20, 0);
      SetTimer(dlg, 1, 300, nullptr);
      return TRUE;
    }
    case WM_TIMER:
      KillTimer(dlg, 1);
      SetDlgItemTextW(dlg, IDC_TIMER_TEXT, L"完了");
      return TRUE;
    case WM_DROPFILES: {
      auto drop = reinterpret_cast<HDROP>(wp);
      std::wstring name(DragQueryFileW(drop, 0, nullptr, 0) + 1, L'\0');
      name.resize(DragQueryFileW(drop, 0, &name[0], static_cast<UINT>(name.size())));
      DragFinish(drop);
      SetDlgItemTextW(dlg, IDC_ANSWER, (L"ドロップ: " + name).c_str());
      return TRUE;
    }
    case WM_HELP:
      SetDlgItemTextW(dlg, IDC_HELP_TEXT, L"ヘルプ");
      return TRUE;
    case WM_NOTIFY: {
      auto* nm = reinterpret_cast<NMLISTVIEW*>(lp);
      if (nm->hdr.idFrom == IDC_LIST && nm->hdr.code == LVN_ITEMCHANGED && (nm->uNewState & LVIS_SELECTED))
        SetDlgItemTextW(dlg, IDC_ROW, (L"行 " + std::to_wstring(nm->iItem)).c_str());
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case IDC_NAME:
          if (HIWORD(wp) == EN_CHANGE) {
            std::wstring name = textOf(dlg, IDC_NAME);
            SetDlgItemTextW(dlg, IDC_GREETING, name.empty() ? L"" : (L"こんにちは、" + name).c_str());
          }
          return TRUE;
        case IDC_USE_PASSWORD:
          if (HIWORD(wp) == BN_CLICKED) {
            bool on = IsDlgButtonChecked(dlg, IDC_USE_PASSWORD) == BST_CHECKED;
            EnableWindow(GetDlgItem(dlg, IDC_PASSWORD), on);
            ShowWindow(GetDlgItem(dlg, IDC_HINT), on ? SW_SHOW : SW_HIDE);
          }
          return TRUE;
        case IDC_COLOR:
          if (HIWORD(wp) == CBN_SELCHANGE) {
            HWND combo = GetDlgItem(dlg, IDC_COLOR);
            LRESULT sel = SendMessageW(combo, CB_GETCURSEL, 0, 0);
            wchar_t buf[64] = L"";
            if (sel >= 0) SendMessageW(combo, CB_GETLBTEXT, sel, reinterpret_cast<LPARAM>(buf));
            SetDlgItemTextW(dlg, IDC_CHOICE, (std::wstring(L"選択: ") + buf).c_str());
          }
          return TRUE;
        case IDC_ASK: {
          int answer = MessageBoxW(dlg, L"保存しますか?", L"確認", MB_YESNO | MB_ICONQUESTION);
          SetDlgItemTextW(dlg, IDC_ANSWER, answer == IDYES ? L"はい" : answer == IDNO ? L"いいえ" : L"?");
          return TRUE;
        }
        case IDC_SLOW:
          // A handler that takes its time: the driver must wait for it.
          Sleep(500);
          SetDlgItemTextW(dlg, IDC_ANSWER, L"遅い処理完了");
          return TRUE;
        case IDCANCEL:
          OutputDebugStringW(L"closed by button\n");
          exitCode = 0;
          DestroyWindow(dlg);
          return TRUE;
      }
      return FALSE;
    case WM_CLOSE:
      exitCode = 3;
      DestroyWindow(dlg);
      return TRUE;
    case WM_DESTROY:
      PostQuitMessage(exitCode);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&icc);
  HWND dlg = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_TEST), nullptr, dialogProc, 0);
  if (!dlg) return 1;
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageW(dlg, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return static_cast<int>(msg.wParam);
}
