// orvane-ui-driver [--out DIR] [--timeout MS] [--names FILE] SCRIPT|-
//
// Operates another process's Win32 dialogs the way a user would, for end-to-end
// tests under Wine. Reads a UTF-8 script (a file, or "-" for standard input),
// checks every line first, then runs the steps in order in this one process.
// Prints "ok LINE STEP" for each step that passes. On the first failing
// expectation it prints the line, the step, the expected and the actual value
// and exits 1. Exit 0: all steps passed; 2: bad command line or script.
//
// Script: one step per line. Blank lines and lines whose first non-blank
// character is '#' are ignored. Arguments are separated by blanks; "double
// quotes" group an argument and know the escapes \" \\ \n \r \t \uXXXX.
// A bare word NAME=VALUE is an option (timeout=MS, class=CLASS); quote an
// argument that looks like one ("a=b").
// ID is a control id: decimal, 0x hex, a name given with `id`, or a symbol of
// the resource map given with --names (IDC_READ). In any argument,
// "{@SYMBOL}" is that symbol's text in the map ("{@IDS_X|A}": its %s
// filled with A), so that scripts never restate the programs' captions.
//
//   id NAME NUMBER              names a control id for the steps below
//   timeout MS                  default time limit of the waiting steps (5000)
//   sleep MS
//   window TITLE [class=C] [timeout=MS]
//                               waits for a visible top-level window with exactly
//                               this caption ("*": any) and class; it becomes the
//                               current dialog and its process the target; a
//                               window an earlier `window` step chose comes
//                               first (a message box may share its caption)
//   no-window TITLE MS [class=C]  no such window shows up within MS
//   closed [timeout=MS]         the current dialog is destroyed or hidden
//   text ID TEXT                the control's text (WM_GETTEXT) is TEXT;
//                               ID "dialog" is the current dialog itself
//   wait-text ID TEXT [timeout=MS]  the text becomes TEXT within the limit
//   enabled ID | disabled ID | checked ID | unchecked ID | visible ID | hidden ID
//   focused ID                  the target's focus is on this control
//   set-text ID TEXT            WM_SETTEXT (an edit sends EN_CHANGE itself)
//   limit ID N                  the edit takes at most N characters
//                               (EM_GETLIMITTEXT)
//   drop ID PATH                posts WM_DROPFILES with one file, PATH, to the
//                               control (or "dialog"), waits until it was handled
//   click ID                    posts BM_CLICK, waits until it was handled
//   check ID | uncheck ID       clicks the check box unless it already is in
//                               that state; then expects that state
//   select ID TEXT              combo box: selects the entry TEXT and posts
//                               WM_COMMAND(CBN_SELCHANGE) to its parent
//   combo-items ID [TEXT...]    the combo box holds exactly these entries
//   combo-selected ID TEXT      the selected entry ("" for none)
//   lv-rows ID N                the list view has N rows
//   lv-cell ID ROW COL TEXT     text of a cell (row and column from 0)
//   lv-selected ID [ROW...]     exactly these rows are selected (none: no ROW)
//   lv-select ID ROW            selects (and focuses) only this row
//   msgbox CAPTION [timeout=MS] waits for a message box of the target with this
//                               caption ("*": any): a #32770 window that no
//                               `window` step chose; it becomes the current box
//   msgbox-text TEXT            the box's text (the static with id 0xFFFF)
//   msgbox-buttons ID...        the box has exactly these buttons (1 OK,
//                               2 Cancel, 3 Abort, 4 Retry, 5 Ignore, 6 Yes, 7 No)
//   msgbox-press ID             presses a button of the box; waits until it closed
//   no-msgbox MS                no message box of the target shows up within MS
//   key VK [ID]                 posts WM_KEYDOWN and WM_KEYUP to the target's
//                               focus (or to control ID, or "dialog"); VK is a
//                               number or F1..F12, RETURN, ESCAPE, TAB, SPACE,
//                               UP, DOWN, LEFT, RIGHT, HOME, END, DELETE, BACK
//   close                       posts WM_CLOSE to the current dialog
//   exit CODE [timeout=MS]      the target ends with this exit code (Wine keeps
//                               only the low 8 bits)
//   screenshot FILE [dialog|msgbox]  the screen (or that window's rectangle) as
//                               a 24-bit BMP; a relative FILE goes under --out
//   dump                        lists the current dialog's controls (no check)
//   host PROGRAM [ARG...] [timeout=MS]
//                               runs a program of the Linux host (an absolute
//                               Unix path; Wine starts ELF files too) and expects
//                               exit code 0; "{out}" in an ARG becomes --out as a
//                               Unix path, e.g. host /usr/bin/import -window root {out}/a.png
//
// Posted input is synchronised by invalidating one pixel of a visible window
// of the target and waiting until its update region is empty again: WM_PAINT
// comes only when no posted message is pending, so the input has been handled
// or has entered a nested message loop (a modal message box).
//
// The driver must have the bitness of the target: list view items are built
// in the target's memory.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>  // DROPFILES

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

namespace {

// What the system posts for a real F1 press; DefWindowProc answers it with WM_HELP.
constexpr UINT kWmKeyF1 = 0x004D;

std::string utf8(const std::wstring& w) {
  if (w.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), &s[0], n, nullptr, nullptr);
  return s;
}

bool widen(const std::string& s, std::wstring& out) {
  out.clear();
  if (s.empty()) return true;
  int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, s.data(), static_cast<int>(s.size()), nullptr, 0);
  if (n <= 0) return false;
  out.resize(static_cast<size_t>(n));
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, s.data(), static_cast<int>(s.size()), &out[0], n);
  return true;
}

// Output goes out as UTF-8 bytes whatever the console's code page.
void out(const std::string& s) {
  std::fwrite(s.data(), 1, s.size(), stdout);
  std::fflush(stdout);
}

// A value as the failure report shows it: quoted, control characters escaped.
std::string shown(const std::wstring& w) {
  std::wstring q = L"\"";
  for (wchar_t c : w) {
    if (c == L'"' || c == L'\\') { q += L'\\'; q += c; }
    else if (c == L'\n') q += L"\\n";
    else if (c == L'\r') q += L"\\r";
    else if (c == L'\t') q += L"\\t";
    else if (c < 0x20) { wchar_t b[8]; std::swprintf(b, 8, L"\\u%04x", c); q += b; }
    else q += c;
  }
  q += L'"';
  return utf8(q);
}

struct StepSyntax;

struct Step {
  const StepSyntax* syntax = nullptr;
  int line = 0;
  std::string source;  // the line as written, for the report
  std::wstring cmd;
  std::vector<std::wstring> args;
  std::map<std::wstring, std::wstring> opts;
};

// Splits one line into arguments and options; false with a reason on bad syntax.
bool tokenize(const std::wstring& line, Step& step, std::string& error) {
  size_t i = 0, n = line.size();
  bool first = true;
  while (i < n) {
    while (i < n && (line[i] == L' ' || line[i] == L'\t')) ++i;
    if (i >= n) break;
    std::wstring tok, key;
    bool isOption = false, quotedSoFar = false;
    while (i < n && line[i] != L' ' && line[i] != L'\t') {
      wchar_t c = line[i];
      if (c == L'"') {
        quotedSoFar = true;
        ++i;
        for (;;) {
          if (i >= n) { error = "unterminated quote"; return false; }
          c = line[i++];
          if (c == L'"') break;
          if (c != L'\\') { tok += c; continue; }
          if (i >= n) { error = "unterminated quote"; return false; }
          c = line[i++];
          switch (c) {
            case L'n': tok += L'\n'; break;
            case L'r': tok += L'\r'; break;
            case L't': tok += L'\t'; break;
            case L'"': tok += L'"'; break;
            case L'\\': tok += L'\\'; break;
            case L'u': {
              if (i + 4 > n) { error = "bad \\u escape"; return false; }
              wchar_t* end = nullptr;
              std::wstring hex = line.substr(i, 4);
              unsigned long v = std::wcstoul(hex.c_str(), &end, 16);
              if (end != hex.c_str() + 4) { error = "bad \\u escape"; return false; }
              tok += static_cast<wchar_t>(v);
              i += 4;
              break;
            }
            default: error = "unknown escape \\" + utf8(std::wstring(1, c)); return false;
          }
        }
        continue;
      }
      if (c == L'=' && !isOption && !quotedSoFar && !first && !tok.empty()) {
        bool word = true;
        for (wchar_t k : tok) word = word && ((k >= L'a' && k <= L'z') || k == L'-');
        if (word) { isOption = true; key = tok; tok.clear(); ++i; continue; }
      }
      tok += c;
      ++i;
    }
    if (first) { step.cmd = tok; first = false; }
    else if (isOption) {
      if (step.opts.count(key)) { error = "option " + utf8(key) + " given twice"; return false; }
      step.opts[key] = tok;
    } else step.args.push_back(tok);
  }
  return true;
}

bool parseNumber(const std::wstring& s, long long& v) {
  if (s.empty()) return false;
  wchar_t* end = nullptr;
  errno = 0;
  v = std::wcstoll(s.c_str(), &end, 0);
  return errno == 0 && end == s.c_str() + s.size();
}

class Driver {
 public:
  Driver(std::wstring outDir, DWORD timeout) : outDir_(std::move(outDir)), timeout_(timeout) {}
  ~Driver() {
    if (remote_) VirtualFreeEx(process_, remote_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
  }

  // Runs one step: true when it passed; false after printing why not.
  bool run(const Step& s);

  std::map<std::wstring, long long> ids;

 private:
  static constexpr size_t kRemoteSize = 65536;
  static constexpr size_t kRemoteText = 256;  // text buffer after the LVITEMW

  const Step* step_ = nullptr;
  std::wstring outDir_;
  DWORD timeout_;
  HWND dialog_ = nullptr;
  // Every window a `window` step chose: a program's other dialogs are
  // #32770 windows too and must never count as its message boxes.
  std::vector<HWND> dialogs_;
  HWND box_ = nullptr;
  DWORD pid_ = 0;
  HANDLE process_ = nullptr;
  void* remote_ = nullptr;

  bool fail(const std::string& what) {
    out("FAIL line " + std::to_string(step_->line) + ": " + step_->source + "\n  " + what + "\n");
    return false;
  }
  bool mismatch(const std::string& expected, const std::string& actual) {
    return fail("expected: " + expected + "\n  actual:   " + actual);
  }
  const std::wstring& arg(size_t i) const { return step_->args[i]; }

  bool number(size_t i, long long& v) {
    if (!parseNumber(arg(i), v)) return fail("not a number: " + shown(arg(i)));
    return true;
  }
  bool timeOption(DWORD& ms) {
    ms = timeout_;
    auto it = step_->opts.find(L"timeout");
    if (it == step_->opts.end()) return true;
    long long v;
    if (!parseNumber(it->second, v) || v < 0) return fail("bad timeout " + shown(it->second));
    ms = static_cast<DWORD>(v);
    return true;
  }
  std::wstring option(const wchar_t* key) const {
    auto it = step_->opts.find(key);
    return it == step_->opts.end() ? std::wstring() : it->second;
  }

  bool needDialog() {
    if (dialog_ && IsWindow(dialog_)) return true;
    return fail(dialog_ ? "the current dialog no longer exists" : "no current dialog (use `window` first)");
  }
  bool control(size_t i, HWND& hwnd, int& id) {
    if (!needDialog()) return false;
    const std::wstring& a = arg(i);
    if (a == L"dialog") { hwnd = dialog_; id = -1; return true; }
    long long v;
    auto named = ids.find(a);
    if (named != ids.end()) v = named->second;
    else if (!parseNumber(a, v)) return fail("not a control id: " + shown(a));
    id = static_cast<int>(v);
    hwnd = GetDlgItem(dialog_, id);
    if (!hwnd) return fail("no control with id " + std::to_string(v) + " in the current dialog");
    return true;
  }

  bool send(HWND hwnd, UINT msg, WPARAM w, LPARAM l, LRESULT& r) {
    DWORD_PTR res = 0;
    if (!SendMessageTimeoutW(hwnd, msg, w, l, SMTO_NORMAL, timeout_, &res))
      return fail("the target did not answer message 0x" + std::to_string(msg) + " within " + std::to_string(timeout_) + " ms");
    r = static_cast<LRESULT>(res);
    return true;
  }
  bool getText(HWND hwnd, std::wstring& text) {
    LRESULT len;
    if (!send(hwnd, WM_GETTEXTLENGTH, 0, 0, len)) return false;
    std::vector<wchar_t> buf(static_cast<size_t>(len) + 64);
    LRESULT got;
    if (!send(hwnd, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()), got)) return false;
    text.assign(buf.data(), static_cast<size_t>(got) < buf.size() ? static_cast<size_t>(got) : 0);
    return true;
  }

  void adopt(HWND hwnd) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == pid_ && process_) return;
    if (remote_) VirtualFreeEx(process_, remote_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
    remote_ = nullptr;
    pid_ = pid;
    // Opened now, so that the exit code can still be read after the end.
    process_ = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE,
                           FALSE, pid);
  }

  struct Match {
    const std::wstring* title;  // null: any
    const std::wstring* cls;    // null: any
    DWORD pid;                  // 0: any
    const std::vector<HWND>* exclude;  // null: none
    HWND found;
  };
  static BOOL CALLBACK matchWindow(HWND hwnd, LPARAM lp) {
    auto* m = reinterpret_cast<Match*>(lp);
    if (!IsWindowVisible(hwnd)) return TRUE;
    if (m->exclude && std::find(m->exclude->begin(), m->exclude->end(), hwnd) != m->exclude->end()) return TRUE;
    if (m->pid) {
      DWORD pid = 0;
      GetWindowThreadProcessId(hwnd, &pid);
      if (pid != m->pid) return TRUE;
    }
    if (m->cls) {
      wchar_t cls[256];
      if (!GetClassNameW(hwnd, cls, 256) || *m->cls != cls) return TRUE;
    }
    if (m->title) {
      // A top-level window's caption is what GetWindowText reports.
      int len = GetWindowTextLengthW(hwnd);
      std::vector<wchar_t> buf(static_cast<size_t>(len) + 2);
      int got = GetWindowTextW(hwnd, buf.data(), static_cast<int>(buf.size()));
      if (*m->title != std::wstring(buf.data(), static_cast<size_t>(got))) return TRUE;
    }
    m->found = hwnd;
    return FALSE;
  }
  HWND findTop(const std::wstring& title, const std::wstring& cls, DWORD pid, const std::vector<HWND>* exclude) {
    Match m{title == L"*" ? nullptr : &title, cls.empty() ? nullptr : &cls, pid, exclude, nullptr};
    EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&m));
    return m.found;
  }
  HWND findChosen(const std::wstring& title, const std::wstring& cls) {
    for (HWND h : dialogs_) {
      if (!IsWindow(h)) continue;
      Match m{title == L"*" ? nullptr : &title, cls.empty() ? nullptr : &cls, pid_, nullptr, nullptr};
      matchWindow(h, reinterpret_cast<LPARAM>(&m));
      if (m.found) return h;
    }
    return nullptr;
  }
  HWND findBox(const std::wstring& title) {
    static const std::wstring kDialogClass = L"#32770";
    return findTop(title, kDialogClass, pid_, &dialogs_);
  }

  struct ThreadWindow { DWORD thread; HWND found; };
  static BOOL CALLBACK visibleOfThread(HWND hwnd, LPARAM lp) {
    auto* t = reinterpret_cast<ThreadWindow*>(lp);
    if (GetWindowThreadProcessId(hwnd, nullptr) == t->thread && IsWindowVisible(hwnd)) { t->found = hwnd; return FALSE; }
    return TRUE;
  }

  static BOOL CALLBACK collectWindow(HWND hwnd, LPARAM lp) {
    reinterpret_cast<std::vector<HWND>*>(lp)->push_back(hwnd);
    return TRUE;
  }

  // Waits until the target thread of `hwnd` has handled what was posted to it.
  bool settle(HWND hwnd) {
    if (!hwnd || !IsWindow(hwnd)) return true;
    DWORD thread = GetWindowThreadProcessId(hwnd, nullptr);
    HWND painted = nullptr;
    for (HWND w : {box_, dialog_, hwnd})
      if (w && IsWindow(w) && IsWindowVisible(w) && GetWindowThreadProcessId(w, nullptr) == thread) { painted = w; break; }
    if (!painted) {
      ThreadWindow t{thread, nullptr};
      EnumWindows(visibleOfThread, reinterpret_cast<LPARAM>(&t));
      painted = t.found;
    }
    if (!painted) {
      // Nothing visible to paint: a sent message at least waits for the sender queue.
      DWORD_PTR r;
      SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_NORMAL, timeout_, &r);
      return true;
    }
    RECT px{0, 0, 1, 1};
    InvalidateRect(painted, &px, FALSE);
    DWORD start = GetTickCount();
    for (;;) {
      if (!IsWindow(painted) || !IsWindowVisible(painted) || !GetUpdateRect(painted, nullptr, FALSE)) return true;
      if (GetTickCount() - start > timeout_)
        return fail("the target did not handle the input within " + std::to_string(timeout_) + " ms (busy or hung)");
      Sleep(2);
    }
  }

  bool remote() {
    if (remote_) return true;
    if (!process_) return fail("cannot open the target process");
    remote_ = VirtualAllocEx(process_, nullptr, kRemoteSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!remote_) return fail("VirtualAllocEx in the target failed, error " + std::to_string(GetLastError()));
    return true;
  }
  bool putItem(const LVITEMW& item) {
    SIZE_T done = 0;
    if (!WriteProcessMemory(process_, remote_, &item, sizeof item, &done) || done != sizeof item)
      return fail("WriteProcessMemory failed, error " + std::to_string(GetLastError()));
    return true;
  }
  bool cell(HWND lv, int row, int col, std::wstring& text) {
    if (!remote()) return false;
    const size_t cch = (kRemoteSize - kRemoteText) / sizeof(wchar_t);
    LVITEMW item{};
    item.iSubItem = col;
    item.pszText = reinterpret_cast<LPWSTR>(static_cast<char*>(remote_) + kRemoteText);
    item.cchTextMax = static_cast<int>(cch);
    if (!putItem(item)) return false;
    LRESULT len;
    if (!send(lv, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote_), len)) return false;
    if (len < 0 || static_cast<size_t>(len) >= cch) len = 0;
    std::vector<wchar_t> buf(static_cast<size_t>(len) + 1);
    SIZE_T done = 0;
    if (!ReadProcessMemory(process_, item.pszText, buf.data(), static_cast<SIZE_T>(len) * sizeof(wchar_t), &done))
      return fail("ReadProcessMemory failed, error " + std::to_string(GetLastError()));
    text.assign(buf.data(), static_cast<size_t>(len));
    return true;
  }
  bool setState(HWND lv, int row, UINT state, UINT mask) {
    if (!remote()) return false;
    LVITEMW item{};
    item.stateMask = mask;
    item.state = state;
    if (!putItem(item)) return false;
    LRESULT r;
    return send(lv, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote_), r);
  }

  bool comboItems(HWND combo, std::vector<std::wstring>& items) {
    LRESULT count;
    if (!send(combo, CB_GETCOUNT, 0, 0, count)) return false;
    for (LRESULT i = 0; i < count; ++i) {
      LRESULT len;
      if (!send(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0, len)) return false;
      std::vector<wchar_t> buf(static_cast<size_t>(len < 0 ? 0 : len) + 1);
      LRESULT got;
      if (!send(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf.data()), got)) return false;
      items.emplace_back(buf.data(), got < 0 || got > len ? 0 : static_cast<size_t>(got));
    }
    return true;
  }

  bool postKey(HWND target, UINT vk) {
    UINT scan = MapVirtualKeyW(vk, MAPVK_VK_TO_VSC);
    LPARAM down = 1 | (static_cast<LPARAM>(scan) << 16);
    LPARAM up = down | (1LL << 30) | (1LL << 31);
    PostMessageW(target, WM_KEYDOWN, vk, down);
    PostMessageW(target, WM_KEYUP, vk, up);
    // The system turns a real F1 press into WM_KEYF1 (then WM_HELP) on the way
    // from the keyboard; a posted key does not take that way.
    if (vk == VK_F1) PostMessageW(target, kWmKeyF1, 0, 0);
    return settle(target);
  }

  bool needBox();
  bool listView(HWND& hwnd, LRESULT& count);
  bool listRow(size_t i, LRESULT count, int& row);
  bool screenshot(const std::wstring& file, HWND window);
  bool drop(HWND target, const std::wstring& path);

 public:
  // The steps (see the table after the class).
  bool stepId();
  bool stepTime();
  bool stepWindow();
  bool stepNoWindow();
  bool stepClosed();
  bool stepText();
  bool stepWindowState();
  bool stepChecked();
  bool stepFocused();
  bool stepSetText();
  bool stepLimit();
  bool stepDrop();
  bool stepClick();
  bool stepComboItems();
  bool stepComboSelected();
  bool stepSelect();
  bool stepListRows();
  bool stepListSelected();
  bool stepListCell();
  bool stepListSelect();
  bool stepMsgbox();
  bool stepNoMsgbox();
  bool stepMsgboxText();
  bool stepMsgboxButtons();
  bool stepMsgboxPress();
  bool stepKey();
  bool stepClose();
  bool stepExit();
  bool stepScreenshot();
  bool host();
  bool dump();
};

std::string joined(const std::vector<std::wstring>& v) {
  std::string s = "[";
  for (size_t i = 0; i < v.size(); ++i) s += (i ? " " : "") + shown(v[i]);
  return s + "]";
}

bool parseVk(const std::wstring& s, UINT& vk) {
  static const std::pair<const wchar_t*, UINT> kNames[] = {
      {L"RETURN", VK_RETURN}, {L"ENTER", VK_RETURN}, {L"ESCAPE", VK_ESCAPE}, {L"ESC", VK_ESCAPE},
      {L"TAB", VK_TAB},       {L"SPACE", VK_SPACE},  {L"UP", VK_UP},         {L"DOWN", VK_DOWN},
      {L"LEFT", VK_LEFT},     {L"RIGHT", VK_RIGHT},  {L"HOME", VK_HOME},     {L"END", VK_END},
      {L"DELETE", VK_DELETE}, {L"BACK", VK_BACK}};
  for (const auto& n : kNames)
    if (s == n.first) { vk = n.second; return true; }
  long long v;
  if (s.size() >= 2 && s[0] == L'F' && parseNumber(s.substr(1), v) && v >= 1 && v <= 24) {
    vk = static_cast<UINT>(VK_F1 + v - 1);
    return true;
  }
  if (parseNumber(s, v) && v > 0 && v < 256) { vk = static_cast<UINT>(v); return true; }
  return false;
}

bool Driver::screenshot(const std::wstring& name, HWND window) {
  RECT r{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (window) GetWindowRect(window, &r);
  int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return fail("nothing to capture");
  std::wstring path = name;
  bool absolute = (path.size() > 1 && path[1] == L':') || (!path.empty() && (path[0] == L'\\' || path[0] == L'/'));
  if (!absolute && !outDir_.empty()) path = outDir_ + L"\\" + path;
  size_t dot = path.find_last_of(L"."), slash = path.find_last_of(L"\\/");
  if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) path += L".bmp";

  // The controls paint after their dialog, and Wine shows what was painted a
  // little later: wait for every update region to empty, then until two
  // captures agree.
  DWORD start = GetTickCount();
  for (bool pending = true; pending;) {
    pending = false;
    for (HWND top : {dialog_, box_}) {
      if (!top || !IsWindow(top)) continue;
      std::vector<HWND> all{top};
      EnumChildWindows(top, collectWindow, reinterpret_cast<LPARAM>(&all));
      for (HWND h : all) pending = pending || (IsWindowVisible(h) && GetUpdateRect(h, nullptr, FALSE));
    }
    if (pending && GetTickCount() - start > timeout_) break;  // capture what there is
    if (pending) Sleep(10);
  }
  BITMAPINFOHEADER bi{};
  bi.biSize = sizeof bi;
  bi.biWidth = w;
  bi.biHeight = h;  // bottom-up, as a BMP file stores it
  bi.biPlanes = 1;
  bi.biBitCount = 24;
  bi.biCompression = BI_RGB;
  DWORD stride = (static_cast<DWORD>(w) * 3 + 3) & ~3u;
  std::vector<BYTE> pixels, previous;
  for (int attempt = 0; attempt < 20; ++attempt) {
    if (attempt) Sleep(50);
    previous.swap(pixels);
    pixels.assign(static_cast<size_t>(stride) * static_cast<size_t>(h), 0);
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY | CAPTUREBLT);
    SelectObject(mem, old);
    int lines = GetDIBits(mem, bmp, 0, static_cast<UINT>(h), pixels.data(), reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    if (lines != h) return fail("GetDIBits failed");
    if (pixels == previous) break;
  }

  BITMAPFILEHEADER fh{};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof fh + sizeof bi;
  fh.bfSize = fh.bfOffBits + static_cast<DWORD>(pixels.size());
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return fail("cannot create " + shown(path) + ", error " + std::to_string(GetLastError()));
  DWORD done = 0;
  bool ok = WriteFile(f, &fh, sizeof fh, &done, nullptr) && WriteFile(f, &bi, sizeof bi, &done, nullptr) &&
            WriteFile(f, pixels.data(), static_cast<DWORD>(pixels.size()), &done, nullptr);
  CloseHandle(f);
  if (!ok) return fail("cannot write " + shown(path));
  return true;
}

// An argument as CommandLineToArgvW splits it back out.
std::wstring quoted(const std::wstring& a) {
  if (!a.empty() && a.find_first_of(L" \t\"") == std::wstring::npos) return a;
  std::wstring q = L"\"";
  size_t slashes = 0;
  for (wchar_t c : a) {
    if (c == L'\\') { ++slashes; continue; }
    q.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
    slashes = 0;
    q += c;
  }
  q.append(slashes * 2, L'\\');
  return q + L"\"";
}

// A drop's handle must be valid in the receiving process. Wine's GlobalLock
// takes a fixed block by its address, so a DROPFILES written into the
// target's own memory serves as the handle there (DragFinish's attempt to
// free it fails without harm); freed here once the drop was handled.
bool Driver::drop(HWND target, const std::wstring& path) {
  if (!process_) return fail("cannot open the target process");
  std::vector<BYTE> block(sizeof(DROPFILES) + (path.size() + 2) * sizeof(wchar_t), 0);
  auto* header = reinterpret_cast<DROPFILES*>(block.data());
  header->pFiles = sizeof(DROPFILES);
  header->fWide = TRUE;
  std::copy(path.begin(), path.end(), reinterpret_cast<wchar_t*>(block.data() + sizeof(DROPFILES)));
  void* there = VirtualAllocEx(process_, nullptr, block.size(), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (!there) return fail("VirtualAllocEx in the target failed, error " + std::to_string(GetLastError()));
  SIZE_T done = 0;
  if (!WriteProcessMemory(process_, there, block.data(), block.size(), &done) || done != block.size()) {
    VirtualFreeEx(process_, there, 0, MEM_RELEASE);
    return fail("WriteProcessMemory failed, error " + std::to_string(GetLastError()));
  }
  PostMessageW(target, WM_DROPFILES, reinterpret_cast<WPARAM>(there), 0);
  bool handled = settle(target);
  if (handled) VirtualFreeEx(process_, there, 0, MEM_RELEASE);
  return handled;
}

bool Driver::host() {
  DWORD ms;
  if (!timeOption(ms)) return false;
  const std::wstring& program = arg(0);
  if (program.empty() || program[0] != L'/') return fail("host: the program must be an absolute Unix path");
  std::wstring unixOut = outDir_;
  if (unixOut.size() >= 2 && (unixOut[0] == L'Z' || unixOut[0] == L'z') && unixOut[1] == L':') unixOut.erase(0, 2);
  for (auto& ch : unixOut)
    if (ch == L'\\') ch = L'/';
  // Wine's CreateProcess starts an ELF file but hands back no handle, and in
  // doing so has been seen to close an unrelated handle of the caller (here:
  // the target's). So a second copy of this program starts it and ends, and a
  // shell leaves the exit code in a file, renamed into place when complete.
  static unsigned serial = 0;
  std::wstring done = L"/tmp/orvane-ui-host." + std::to_wstring(GetCurrentProcessId()) + L"." + std::to_wstring(++serial);
  std::wstring shell = L"/bin/sh -c " + quoted(L"f=$1; shift; \"$@\"; echo $? >\"$f.tmp\" && mv \"$f.tmp\" \"$f\"") + L" sh " +
                       quoted(done) + L" " + quoted(program);
  for (size_t i = 1; i < step_->args.size(); ++i) {
    std::wstring a = arg(i);
    for (size_t at; (at = a.find(L"{out}")) != std::wstring::npos;) a.replace(at, 5, unixOut);
    shell += L" " + quoted(a);
  }
  wchar_t self[MAX_PATH];
  DWORD selfLen = GetModuleFileNameW(nullptr, self, MAX_PATH);
  if (selfLen == 0 || selfLen >= MAX_PATH) return fail("cannot find the driver's own path");
  std::wstring line = quoted(self) + L" --spawn-host " + quoted(shell);
  std::wstring doneWin = L"Z:" + done;
  for (auto& ch : doneWin)
    if (ch == L'/') ch = L'\\';
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return fail("cannot start the host helper, error " + std::to_string(GetLastError()));
  CloseHandle(pi.hThread);
  WaitForSingleObject(pi.hProcess, ms);
  CloseHandle(pi.hProcess);
  DWORD start = GetTickCount();
  std::string code;
  for (;;) {
    HANDLE f = CreateFileW(doneWin.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f != INVALID_HANDLE_VALUE) {
      char buf[32];
      DWORD got = 0;
      ReadFile(f, buf, sizeof buf - 1, &got, nullptr);
      CloseHandle(f);
      DeleteFileW(doneWin.c_str());
      code.assign(buf, got);
      while (!code.empty() && (code.back() == '\n' || code.back() == '\r')) code.pop_back();
      break;
    }
    if (GetTickCount() - start >= ms) return mismatch("the host program ended within " + std::to_string(ms) + " ms", "still running");
    Sleep(10);
  }
  return code == "0" ? true : mismatch("exit code 0", "exit code " + code);
}

bool Driver::dump() {
  if (!needDialog()) return false;
  std::wstring caption;
  if (!getText(dialog_, caption)) return false;
  out("  dialog " + shown(caption) + "\n");
  for (HWND c = GetWindow(dialog_, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    wchar_t cls[256] = L"";
    GetClassNameW(c, cls, 256);
    std::wstring text;
    if (!getText(c, text)) return false;
    char head[64];
    std::snprintf(head, sizeof head, "  id %5d 0x%04x ", GetDlgCtrlID(c), GetDlgCtrlID(c) & 0xFFFF);
    out(head + utf8(cls) + " " + shown(text) + (IsWindowVisible(c) ? "" : " hidden") + (IsWindowEnabled(c) ? "" : " disabled") +
        "\n");
  }
  return true;
}

// The steps, one function each; the table below gives their argument shape.
bool Driver::stepId() {
  long long v;
  if (!number(1, v)) return false;
  ids[arg(0)] = v;
  return true;
}

bool Driver::stepTime() {
  long long v = 0;
  if (!number(0, v) || v < 0) return v < 0 ? fail("negative time") : false;
  if (step_->cmd == L"timeout") timeout_ = static_cast<DWORD>(v);
  else Sleep(static_cast<DWORD>(v));
  return true;
}

bool Driver::stepWindow() {
  DWORD ms;
  if (!timeOption(ms)) return false;
  std::wstring cls = option(L"class");
  DWORD start = GetTickCount();
  HWND hwnd;
  for (;;) {
    // A dialog chosen before comes first: a message box of the same
    // caption may lie above it (the settings program's boxes carry the
    // main dialog's title).
    hwnd = findChosen(arg(0), cls);
    if (!hwnd) hwnd = findTop(arg(0), cls, pid_, nullptr);
    if (hwnd) break;
    if (GetTickCount() - start >= ms)
      return fail("no visible window " + shown(arg(0)) + (cls.empty() ? "" : " of class " + shown(cls)) + " within " +
                  std::to_string(ms) + " ms");
    Sleep(20);
  }
  dialog_ = hwnd;
  if (std::find(dialogs_.begin(), dialogs_.end(), hwnd) == dialogs_.end()) dialogs_.push_back(hwnd);
  box_ = nullptr;
  adopt(hwnd);
  // Until its first paint the dialog may still be initialising.
  return settle(hwnd);
}

bool Driver::stepNoWindow() {
  long long v;
  if (!number(1, v)) return false;
  std::wstring cls = option(L"class");
  DWORD start = GetTickCount();
  do {
    if (findTop(arg(0), cls, 0, nullptr))
      return mismatch("no window " + shown(arg(0)) + " for " + std::to_string(v) + " ms",
                      "it appeared after " + std::to_string(GetTickCount() - start) + " ms");
    Sleep(20);
  } while (GetTickCount() - start < static_cast<DWORD>(v));
  return true;
}

bool Driver::stepClosed() {
  DWORD ms;
  if (!timeOption(ms)) return false;
  if (!dialog_) return fail("no current dialog");
  DWORD start = GetTickCount();
  while (IsWindow(dialog_) && IsWindowVisible(dialog_)) {
    if (GetTickCount() - start >= ms) return mismatch("the dialog closed", "still open after " + std::to_string(ms) + " ms");
    Sleep(10);
  }
  return true;
}

// text and wait-text
bool Driver::stepText() {
  HWND hwnd;
  int id;
  DWORD ms = 0;
  bool wait = step_->cmd == L"wait-text";
  if (!control(0, hwnd, id)) return false;
  if (wait && !timeOption(ms)) return false;
  DWORD start = GetTickCount();
  std::wstring text;
  for (;;) {
    if (!getText(hwnd, text)) return false;
    if (text == arg(1)) return true;
    if (!wait || GetTickCount() - start >= ms) break;
    Sleep(10);
  }
  return mismatch(shown(arg(1)), shown(text) + (wait ? " after " + std::to_string(ms) + " ms" : ""));
}

// enabled and disabled, visible and hidden: a state of the control's window.
bool Driver::stepWindowState() {
  HWND hwnd;
  int id;
  if (!control(0, hwnd, id)) return false;
  const std::wstring& c = step_->cmd;
  bool enabling = c == L"enabled" || c == L"disabled";
  bool want = c == L"enabled" || c == L"visible";
  bool is = (enabling ? IsWindowEnabled(hwnd) : IsWindowVisible(hwnd)) != FALSE;
  if (want == is) return true;
  return mismatch(utf8(c), enabling ? (is ? "enabled" : "disabled") : (is ? "visible" : "hidden"));
}

// checked and unchecked expect; check and uncheck click first if needed.
bool Driver::stepChecked() {
  const std::wstring& c = step_->cmd;
  HWND hwnd;
  int id;
  if (!control(0, hwnd, id)) return false;
  bool want = c == L"checked" || c == L"check";
  LRESULT state;
  if (!send(hwnd, BM_GETCHECK, 0, 0, state)) return false;
  if ((c == L"check" || c == L"uncheck") && (state == BST_CHECKED) != want) {
    PostMessageW(hwnd, BM_CLICK, 0, 0);
    if (!settle(hwnd) || !send(hwnd, BM_GETCHECK, 0, 0, state)) return false;
  }
  if ((state == BST_CHECKED) == want) return true;
  return mismatch(want ? "checked" : "unchecked", state == BST_INDETERMINATE ? "indeterminate" : state ? "checked" : "unchecked");
}

bool Driver::stepFocused() {
  HWND hwnd;
  int id;
  if (!control(0, hwnd, id)) return false;
  GUITHREADINFO gti{};
  gti.cbSize = sizeof gti;
  GetGUIThreadInfo(GetWindowThreadProcessId(dialog_, nullptr), &gti);
  if (gti.hwndFocus == hwnd || (gti.hwndFocus && GetParent(gti.hwndFocus) == hwnd && hwnd != dialog_)) return true;
  return mismatch("focus on id " + utf8(arg(0)),
                  gti.hwndFocus ? "focus on id " + std::to_string(GetDlgCtrlID(gti.hwndFocus)) : std::string("no focus"));
}

bool Driver::stepSetText() {
  HWND hwnd;
  int id;
  if (!control(0, hwnd, id)) return false;
  LRESULT r;
  if (!send(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(arg(1).c_str()), r)) return false;
  if (!r) return fail("WM_SETTEXT was refused");
  return settle(hwnd);
}

bool Driver::stepLimit() {
  HWND hwnd;
  int id;
  long long v;
  if (!control(0, hwnd, id) || !number(1, v)) return false;
  LRESULT limit;
  if (!send(hwnd, EM_GETLIMITTEXT, 0, 0, limit)) return false;
  return limit == v ? true : mismatch(std::to_string(v) + " characters", std::to_string(limit) + " characters");
}

bool Driver::stepDrop() {
  HWND hwnd;
  int id;
  if (!control(0, hwnd, id)) return false;
  return drop(hwnd, arg(1));
}

bool Driver::stepClick() {
  HWND hwnd;
  int id;
  if (!control(0, hwnd, id)) return false;
  if (!IsWindowEnabled(hwnd)) return mismatch("an enabled control to click", "disabled");
  PostMessageW(hwnd, BM_CLICK, 0, 0);
  return settle(hwnd);
}

bool Driver::stepComboItems() {
  HWND hwnd;
  int id;
  std::vector<std::wstring> items;
  if (!control(0, hwnd, id) || !comboItems(hwnd, items)) return false;
  std::vector<std::wstring> want(step_->args.begin() + 1, step_->args.end());
  return want == items ? true : mismatch(joined(want), joined(items));
}

bool Driver::stepComboSelected() {
  HWND hwnd;
  int id;
  std::vector<std::wstring> items;
  if (!control(0, hwnd, id) || !comboItems(hwnd, items)) return false;
  LRESULT sel;
  if (!send(hwnd, CB_GETCURSEL, 0, 0, sel)) return false;
  std::wstring is = sel >= 0 && static_cast<size_t>(sel) < items.size() ? items[static_cast<size_t>(sel)] : L"";
  return is == arg(1) ? true : mismatch(shown(arg(1)), sel < 0 ? "no selection" : shown(is));
}

bool Driver::stepSelect() {
  HWND hwnd;
  int id;
  std::vector<std::wstring> items;
  if (!control(0, hwnd, id) || !comboItems(hwnd, items)) return false;
  size_t i = 0;
  while (i < items.size() && items[i] != arg(1)) ++i;
  if (i == items.size()) return mismatch("an entry " + shown(arg(1)), "entries " + joined(items));
  if (!IsWindowEnabled(hwnd)) return mismatch("an enabled combo box", "disabled");
  LRESULT r;
  if (!send(hwnd, CB_SETCURSEL, i, 0, r)) return false;
  // CB_SETCURSEL notifies nobody; a user's pick sends CBN_SELCHANGE to the parent.
  PostMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), CBN_SELCHANGE), reinterpret_cast<LPARAM>(hwnd));
  return settle(hwnd);
}

bool Driver::listView(HWND& hwnd, LRESULT& count) {
  int id;
  return control(0, hwnd, id) && send(hwnd, LVM_GETITEMCOUNT, 0, 0, count);
}

// A list view row argument: within the rows there are.
bool Driver::listRow(size_t i, LRESULT count, int& row) {
  long long v;
  if (!number(i, v)) return false;
  if (v < 0 || v >= count) return mismatch("a row " + std::to_string(v), std::to_string(count) + " rows");
  row = static_cast<int>(v);
  return true;
}

std::string rowList(const char* what, const std::vector<long long>& rows) {
  std::string t = std::string(what) + " [";
  for (size_t i = 0; i < rows.size(); ++i) t += (i ? " " : "") + std::to_string(rows[i]);
  return t + "]";
}

bool Driver::stepListRows() {
  HWND hwnd;
  LRESULT count;
  long long v;
  if (!listView(hwnd, count) || !number(1, v)) return false;
  return count == v ? true : mismatch(std::to_string(v) + " rows", std::to_string(count) + " rows");
}

bool Driver::stepListSelected() {
  HWND hwnd;
  LRESULT count;
  if (!listView(hwnd, count)) return false;
  std::vector<long long> want, is;
  for (size_t i = 1; i < step_->args.size(); ++i) {
    long long v;
    if (!number(i, v)) return false;
    want.push_back(v);
  }
  LRESULT r = -1;
  for (;;) {
    if (!send(hwnd, LVM_GETNEXTITEM, static_cast<WPARAM>(r), LVNI_SELECTED, r)) return false;
    if (r < 0 || static_cast<size_t>(is.size()) > static_cast<size_t>(count)) break;
    is.push_back(r);
  }
  return want == is ? true : mismatch(rowList("rows", want), rowList("rows", is));
}

bool Driver::stepListCell() {
  HWND hwnd;
  LRESULT count;
  int row;
  long long v;
  if (!listView(hwnd, count) || !listRow(1, count, row) || !number(2, v)) return false;
  std::wstring text;
  if (!cell(hwnd, row, static_cast<int>(v), text)) return false;
  return text == arg(3) ? true : mismatch(shown(arg(3)), shown(text));
}

// As a click on the row, which leaves only it selected and focused.
bool Driver::stepListSelect() {
  HWND hwnd;
  LRESULT count;
  int row;
  if (!listView(hwnd, count) || !listRow(1, count, row)) return false;
  if (!setState(hwnd, -1, 0, LVIS_SELECTED) ||
      !setState(hwnd, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED))
    return false;
  LRESULT r;
  if (!send(hwnd, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE, r)) return false;
  return settle(hwnd);
}

bool Driver::stepMsgbox() {
  DWORD ms;
  if (!timeOption(ms)) return false;
  if (!pid_) return fail("no target process (use `window` first)");
  DWORD start = GetTickCount();
  HWND hwnd;
  while (!(hwnd = findBox(arg(0)))) {
    if (GetTickCount() - start >= ms)
      return mismatch("a message box " + shown(arg(0)) + " within " + std::to_string(ms) + " ms", "none");
    Sleep(10);
  }
  box_ = hwnd;
  return settle(hwnd);
}

bool Driver::stepNoMsgbox() {
  long long v;
  if (!number(0, v)) return false;
  if (!pid_) return fail("no target process (use `window` first)");
  DWORD start = GetTickCount();
  do {
    if (HWND hwnd = findBox(L"*")) {
      std::wstring caption;
      getText(hwnd, caption);
      return mismatch("no message box for " + std::to_string(v) + " ms",
                      "message box " + shown(caption) + " after " + std::to_string(GetTickCount() - start) + " ms");
    }
    Sleep(10);
  } while (GetTickCount() - start < static_cast<DWORD>(v));
  return true;
}

bool Driver::needBox() {
  if (box_ && IsWindow(box_)) return true;
  return fail("no current message box (use `msgbox` first)");
}

bool Driver::stepMsgboxText() {
  if (!needBox()) return false;
  HWND text = GetDlgItem(box_, 0xFFFF);
  std::wstring is;
  if (!text) return fail("the message box has no text static (id 0xFFFF)");
  if (!getText(text, is)) return false;
  return is == arg(0) ? true : mismatch(shown(arg(0)), shown(is));
}

bool Driver::stepMsgboxButtons() {
  if (!needBox()) return false;
  std::vector<long long> want, is;
  for (size_t i = 0; i < step_->args.size(); ++i) {
    long long v;
    if (!number(i, v)) return false;
    want.push_back(v);
  }
  for (HWND b = GetWindow(box_, GW_CHILD); b; b = GetWindow(b, GW_HWNDNEXT)) {
    wchar_t cls[64] = L"";
    GetClassNameW(b, cls, 64);
    if (IsWindowVisible(b) && _wcsicmp(cls, L"Button") == 0) is.push_back(GetDlgCtrlID(b));
  }
  std::sort(want.begin(), want.end());
  std::sort(is.begin(), is.end());
  return want == is ? true : mismatch(rowList("buttons", want), rowList("buttons", is));
}

bool Driver::stepMsgboxPress() {
  long long v;
  if (!needBox() || !number(0, v)) return false;
  HWND button = GetDlgItem(box_, static_cast<int>(v));
  if (!button || !IsWindowVisible(button)) return mismatch("a button " + std::to_string(v), "none in the message box");
  PostMessageW(button, BM_CLICK, 0, 0);
  DWORD start = GetTickCount();
  while (IsWindow(box_) && IsWindowVisible(box_)) {
    if (GetTickCount() - start >= timeout_)
      return mismatch("the message box closed", "still open after " + std::to_string(timeout_) + " ms");
    Sleep(5);
  }
  box_ = nullptr;
  // What the program does with the answer happens before its next paint.
  return dialog_ && IsWindow(dialog_) ? settle(dialog_) : true;
}

bool Driver::stepKey() {
  UINT vk = 0;
  HWND hwnd;
  int id;
  if (!parseVk(arg(0), vk)) return fail("unknown key " + shown(arg(0)));
  if (step_->args.size() > 1) {
    if (!control(1, hwnd, id)) return false;
  } else {
    if (!needDialog()) return false;
    GUITHREADINFO gti{};
    gti.cbSize = sizeof gti;
    GetGUIThreadInfo(GetWindowThreadProcessId(dialog_, nullptr), &gti);
    hwnd = gti.hwndFocus ? gti.hwndFocus : gti.hwndActive ? gti.hwndActive : dialog_;
  }
  return postKey(hwnd, vk);
}

bool Driver::stepClose() {
  if (!needDialog()) return false;
  PostMessageW(dialog_, WM_CLOSE, 0, 0);
  return settle(dialog_);
}

bool Driver::stepExit() {
  long long v;
  DWORD ms;
  if (!number(0, v) || !timeOption(ms)) return false;
  if (!process_) return fail("no target process (use `window` first)");
  if (WaitForSingleObject(process_, ms) != WAIT_OBJECT_0)
    return mismatch("exit code " + std::to_string(v) + " within " + std::to_string(ms) + " ms", "still running");
  DWORD code = 0;
  GetExitCodeProcess(process_, &code);
  return code == static_cast<DWORD>(v) ? true : mismatch("exit code " + std::to_string(v), "exit code " + std::to_string(code));
}

bool Driver::stepScreenshot() {
  HWND window = nullptr;
  if (step_->args.size() > 1) {
    if (arg(1) == L"dialog") {
      if (!needDialog()) return false;
      window = dialog_;
    } else if (arg(1) == L"msgbox") {
      if (!box_ || !IsWindow(box_)) return fail("no current message box");
      window = box_;
    } else return fail("screenshot of " + shown(arg(1)) + ": say dialog or msgbox");
  }
  return screenshot(arg(0), window);
}

// The script language: each step's name, argument count (max -1: any
// number), the options it takes (blank-separated) and what runs it.
struct StepSyntax {
  const wchar_t* name;
  int minArgs;
  int maxArgs;
  const wchar_t* options;
  bool (Driver::*run)();
};

const StepSyntax kCommands[] = {
    {L"id", 2, 2, L"", &Driver::stepId},
    {L"timeout", 1, 1, L"", &Driver::stepTime},
    {L"sleep", 1, 1, L"", &Driver::stepTime},
    {L"window", 1, 1, L"class timeout", &Driver::stepWindow},
    {L"no-window", 2, 2, L"class", &Driver::stepNoWindow},
    {L"closed", 0, 0, L"timeout", &Driver::stepClosed},
    {L"text", 2, 2, L"", &Driver::stepText},
    {L"wait-text", 2, 2, L"timeout", &Driver::stepText},
    {L"enabled", 1, 1, L"", &Driver::stepWindowState},
    {L"disabled", 1, 1, L"", &Driver::stepWindowState},
    {L"checked", 1, 1, L"", &Driver::stepChecked},
    {L"unchecked", 1, 1, L"", &Driver::stepChecked},
    {L"visible", 1, 1, L"", &Driver::stepWindowState},
    {L"hidden", 1, 1, L"", &Driver::stepWindowState},
    {L"focused", 1, 1, L"", &Driver::stepFocused},
    {L"set-text", 2, 2, L"", &Driver::stepSetText},
    {L"limit", 2, 2, L"", &Driver::stepLimit},
    {L"drop", 2, 2, L"", &Driver::stepDrop},
    {L"click", 1, 1, L"", &Driver::stepClick},
    {L"check", 1, 1, L"", &Driver::stepChecked},
    {L"uncheck", 1, 1, L"", &Driver::stepChecked},
    {L"select", 2, 2, L"", &Driver::stepSelect},
    {L"combo-items", 1, -1, L"", &Driver::stepComboItems},
    {L"combo-selected", 2, 2, L"", &Driver::stepComboSelected},
    {L"lv-rows", 2, 2, L"", &Driver::stepListRows},
    {L"lv-cell", 4, 4, L"", &Driver::stepListCell},
    {L"lv-selected", 1, -1, L"", &Driver::stepListSelected},
    {L"lv-select", 2, 2, L"", &Driver::stepListSelect},
    {L"msgbox", 1, 1, L"timeout", &Driver::stepMsgbox},
    {L"msgbox-text", 1, 1, L"", &Driver::stepMsgboxText},
    {L"msgbox-buttons", 1, -1, L"", &Driver::stepMsgboxButtons},
    {L"msgbox-press", 1, 1, L"", &Driver::stepMsgboxPress},
    {L"no-msgbox", 1, 1, L"", &Driver::stepNoMsgbox},
    {L"key", 1, 2, L"", &Driver::stepKey},
    {L"close", 0, 0, L"", &Driver::stepClose},
    {L"exit", 1, 1, L"timeout", &Driver::stepExit},
    {L"screenshot", 1, 2, L"", &Driver::stepScreenshot},
    {L"dump", 0, 0, L"", &Driver::dump},
    {L"host", 1, -1, L"timeout", &Driver::host},
};

const StepSyntax* findCommand(const std::wstring& name) {
  for (const auto& c : kCommands)
    if (name == c.name) return &c;
  return nullptr;
}

bool optionAllowed(const StepSyntax& c, const std::wstring& key) {
  std::wstring list = std::wstring(L" ") + c.options + L" ";
  return list.find(L" " + key + L" ") != std::wstring::npos;
}

bool Driver::run(const Step& s) {
  step_ = &s;
  return (this->*s.syntax->run)();
}

// Reads a whole file ("-": standard input) as bytes.
bool readAll(const std::wstring& path, std::string& bytes) {
  HANDLE f = path == L"-" ? GetStdHandle(STD_INPUT_HANDLE)
                          : CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE || f == nullptr) return false;
  char buf[4096];
  DWORD got = 0;
  while (ReadFile(f, buf, sizeof buf, &got, nullptr) && got > 0) bytes.append(buf, got);
  if (path != L"-") CloseHandle(f);
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
  return true;
}

// The programs' resource map (--names, made from their resource scripts at
// build time): each line SYMBOL NUMBER ["text"]. A symbol serves as an ID
// in every step; its text is what "{@SYMBOL}" stands for in an argument.
struct ResourceMap {
  std::map<std::wstring, long long> ids;
  std::map<std::wstring, std::wstring> texts;
};

bool readNames(const std::wstring& path, ResourceMap& map) {
  std::string bytes;
  if (!readAll(path, bytes)) {
    std::fprintf(stderr, "cannot open the resource map (error %lu)\n", GetLastError());
    return false;
  }
  size_t pos = 0;
  for (int line = 1; pos < bytes.size(); ++line) {
    size_t end = bytes.find('\n', pos);
    if (end == std::string::npos) end = bytes.size();
    std::string raw = bytes.substr(pos, end - pos);
    pos = end + 1;
    if (raw.empty() || raw[0] == '#') continue;
    Step entry;
    std::wstring wide;
    std::string error;
    long long v;
    if (!widen(raw, wide) || !tokenize(wide, entry, error) || entry.args.empty() || entry.args.size() > 2 ||
        !entry.opts.empty() || !parseNumber(entry.args[0], v)) {
      std::fprintf(stderr, "resource map line %d: bad entry\n", line);
      return false;
    }
    map.ids[entry.cmd] = v;
    if (entry.args.size() == 2) map.texts[entry.cmd] = entry.args[1];
  }
  return true;
}

// Replaces each "{@SYMBOL}" in an argument by the symbol's text from the
// resource map; "{@SYMBOL|A|B}" fills the text's %s places with A, then B,
// as the program formats it. An unknown symbol or a wrong count of fillers
// is a script error.
bool expandTexts(std::wstring& a, const std::map<std::wstring, std::wstring>& texts, std::string& error) {
  for (size_t at = 0; (at = a.find(L"{@", at)) != std::wstring::npos;) {
    size_t close = a.find(L'}', at);
    if (close == std::wstring::npos) { error = "unterminated {@"; return false; }
    std::wstring inner = a.substr(at + 2, close - at - 2);
    std::vector<std::wstring> parts;
    for (size_t from = 0;;) {
      size_t bar = inner.find(L'|', from);
      parts.push_back(inner.substr(from, bar == std::wstring::npos ? std::wstring::npos : bar - from));
      if (bar == std::wstring::npos) break;
      from = bar + 1;
    }
    auto found = texts.find(parts[0]);
    if (found == texts.end()) { error = "no text for " + utf8(parts[0]) + " in the resource map"; return false; }
    std::wstring text = found->second;
    size_t filled = 1;
    for (size_t p = 0; (p = text.find(L"%s", p)) != std::wstring::npos;) {
      if (filled >= parts.size()) { error = utf8(parts[0]) + " has more %s than fillers"; return false; }
      text.replace(p, 2, parts[filled]);
      p += parts[filled++].size();
    }
    if (filled != parts.size()) { error = utf8(parts[0]) + " has fewer %s than fillers"; return false; }
    a.replace(at, close + 1 - at, text);
    at += text.size();
  }
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // The helper of the `host` step: starts a Linux program and ends.
  if (argc == 3 && std::wcscmp(argv[1], L"--spawn-host") == 0) {
    std::wstring line = argv[2];
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    return CreateProcessW(L"Z:\\bin\\sh", &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi) ? 0 : 1;
  }
  std::wstring outDir, script, names;
  DWORD timeout = 5000;
  for (int i = 1; i < argc; ++i) {
    std::wstring a = argv[i];
    long long v;
    if (a == L"--out" && i + 1 < argc) outDir = argv[++i];
    else if (a == L"--names" && i + 1 < argc) names = argv[++i];
    else if (a == L"--timeout" && i + 1 < argc && parseNumber(argv[i + 1], v) && v >= 0) timeout = static_cast<DWORD>(v), ++i;
    else if (script.empty() && (a == L"-" || a.compare(0, 2, L"--") != 0)) script = a;
    else script.clear(), i = argc;
  }
  if (script.empty()) {
    std::fprintf(stderr, "usage: orvane-ui-driver [--out DIR] [--timeout MS] [--names FILE] SCRIPT|-\n");
    return 2;
  }

  std::string bytes;
  if (!readAll(script, bytes)) {
    std::fprintf(stderr, "cannot open the script (error %lu)\n", GetLastError());
    return 2;
  }
  ResourceMap map;
  if (!names.empty() && !readNames(names, map)) return 2;

  // Every line is checked before the first step runs.
  std::vector<Step> steps;
  bool bad = false;
  size_t pos = 0;
  for (int line = 1; pos <= bytes.size(); ++line) {
    size_t end = bytes.find('\n', pos);
    if (end == std::string::npos) end = bytes.size();
    std::string raw = bytes.substr(pos, end - pos);
    pos = end + 1;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    size_t first = raw.find_first_not_of(" \t");
    if (first == std::string::npos || raw[first] == '#') continue;
    Step step;
    step.line = line;
    step.source = raw.substr(first);
    std::wstring wide;
    std::string error;
    const StepSyntax* syntax = nullptr;
    if (!widen(raw, wide)) error = "not UTF-8";
    else if (tokenize(wide, step, error)) {
      syntax = findCommand(step.cmd);
      int n = static_cast<int>(step.args.size());
      if (!syntax) error = "unknown step " + shown(step.cmd);
      else if (n < syntax->minArgs || (syntax->maxArgs >= 0 && n > syntax->maxArgs)) error = "wrong number of arguments";
      else
        for (const auto& o : step.opts)
          if (!optionAllowed(*syntax, o.first)) error = "no option " + utf8(o.first) + " for " + utf8(step.cmd);
      for (auto& a : step.args)
        if (error.empty()) expandTexts(a, map.texts, error);
      step.syntax = syntax;
    }
    if (!error.empty()) {
      out("script line " + std::to_string(line) + ": " + error + ": " + raw + "\n");
      bad = true;
      continue;
    }
    steps.push_back(std::move(step));
  }
  if (bad) return 2;

  Driver driver(outDir, timeout);
  driver.ids = map.ids;
  for (const Step& s : steps) {
    if (!driver.run(s)) return 1;
    out("ok " + std::to_string(s.line) + " " + s.source + "\n");
  }
  return 0;
}
