// orvane-list-bench SETTING_EXE ROWS
// Times, in one run against the same registry, (1) a plain loop that only
// enumerates the sub-keys of the Orvane key and reads each "comment", and
// (2) OrvaneSetting's card list: from the click on the main dialog's delete
// button until the list holds ROWS rows. Prints both times in ms and their
// ratio; exit 1 when the list never reaches ROWS rows.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cwchar>

namespace {

double Ms(LARGE_INTEGER a, LARGE_INTEGER b) {
  LARGE_INTEGER f;
  QueryPerformanceFrequency(&f);
  return 1000.0 * static_cast<double>(b.QuadPart - a.QuadPart) / static_cast<double>(f.QuadPart);
}

// What the list does with the registry, and nothing else.
int PlainLoop() {
  HKEY parent;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Brindle\\Orvane", 0, KEY_READ, &parent) != ERROR_SUCCESS)
    return -1;
  int rows = 0;
  for (DWORD i = 0;; ++i) {
    wchar_t name[260];
    DWORD length = 260;
    LONG r = RegEnumKeyExW(parent, i, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (r == ERROR_MORE_DATA) continue;
    if (r != ERROR_SUCCESS) break;
    HKEY record;
    if (RegOpenKeyExW(parent, name, 0, KEY_QUERY_VALUE, &record) != ERROR_SUCCESS) continue;
    BYTE comment[520];
    DWORD size = sizeof comment;
    if (RegQueryValueExW(record, L"comment", nullptr, nullptr, comment, &size) == ERROR_SUCCESS) ++rows;
    RegCloseKey(record);
  }
  RegCloseKey(parent);
  return rows;
}

HWND WaitWindow(const wchar_t* title, DWORD ms) {
  DWORD start = GetTickCount();
  for (;;) {
    HWND w = FindWindowW(L"#32770", title);
    if (w && IsWindowVisible(w)) return w;
    if (GetTickCount() - start > ms) return nullptr;
    Sleep(1);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fwprintf(stderr, L"usage: orvane-list-bench SETTING_EXE ROWS\n");
    return 2;
  }
  const int want = _wtoi(argv[2]);
  PlainLoop();  // warm the registry once, as the list's run finds it warm too
  LARGE_INTEGER t0, t1;
  QueryPerformanceCounter(&t0);
  const int plainRows = PlainLoop();
  QueryPerformanceCounter(&t1);
  const double plainMs = Ms(t0, t1);

  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(argv[1], nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    std::fwprintf(stderr, L"cannot start %ls\n", argv[1]);
    return 1;
  }
  int status = 1;
  HWND main = WaitWindow(L"Orvane \u8a2d\u5b9a", 30000);
  double listMs = -1;
  int listRows = -1;
  if (main) {
    Sleep(300);  // let the main dialog finish its start
    HWND button = GetDlgItem(main, 1005);
    QueryPerformanceCounter(&t0);
    PostMessageW(button, BM_CLICK, 0, 0);
    HWND dialog = WaitWindow(L"\u30ab\u30fc\u30c9\u767b\u9332\u60c5\u5831\u524a\u9664", 60000);
    HWND list = dialog ? GetDlgItem(dialog, 1008) : nullptr;
    DWORD start = GetTickCount();
    while (list && GetTickCount() - start < 60000) {
      DWORD_PTR n = 0;
      if (SendMessageTimeoutW(list, LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, 60000, &n) &&
          static_cast<int>(n) >= want) {
        QueryPerformanceCounter(&t1);
        listRows = static_cast<int>(n);
        listMs = Ms(t0, t1);
        break;
      }
      Sleep(1);
    }
    if (dialog) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    Sleep(200);
    PostMessageW(main, WM_COMMAND, IDCANCEL, 0);
  }
  if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  std::printf("plain loop: %d rows in %.1f ms\n", plainRows, plainMs);
  if (listRows < 0) {
    std::printf("list: never held %d rows\n", want);
  } else {
    std::printf("list: %d rows in %.1f ms\nratio: %.2f\n", listRows, listMs, listMs / plainMs);
    status = plainRows == want ? 0 : 1;
  }
  return status;
}
