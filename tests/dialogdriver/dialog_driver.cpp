// Drives a dialog of another program the way a user would, for the tests that
// run the Windows build under Wine: finds the dialog by its caption, types
// into edits, clicks buttons, presses keys and reports what is on screen.
//
//   dialog_driver wait Tessaline  type 1005 "Jane Doe"  click 1016  state
//
// Steps run in order on the dialog found by the last "wait":
//   wait <caption>       waits up to 20 s for it; prints "window x y width height enabled"
//   gone <caption>       waits up to 20 s until no such dialog is left
//   type <id> <text>     sets the edit's text as typing would (it reports the change)
//   click <id>           clicks the button and waits until the click is handled
//   post-click <id>      clicks without waiting (for a button that opens a modal dialog)
//   key enter|escape     presses the key in the dialog
//   close                uses the close box
//   state                prints "control <id> <visible> <enabled> <checked> <text>" per control
//   focus                prints "focus <id>" of the control with the keyboard focus (0: none)
// Exit code 0 when every step worked, 1 otherwise (the failing step is printed).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

HWND g_dialog = nullptr;

HWND FindDialog(const std::string& caption) { return FindWindowA("#32770", caption.c_str()); }

bool WaitFor(const std::string& caption, bool present) {
  for (int i = 0; i < 200; ++i) {
    HWND found = FindDialog(caption);
    if ((found != nullptr) == present && (!present || IsWindowVisible(found))) {
      if (present) g_dialog = found;
      return true;
    }
    Sleep(100);
  }
  return false;
}

HWND Control(const std::string& id) { return GetDlgItem(g_dialog, std::atoi(id.c_str())); }

std::string TextOf(HWND window) {
  char text[1024] = {};
  // WM_GETTEXT works across processes where GetWindowText does not.
  SendMessageA(window, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text));
  return text;
}

BOOL CALLBACK PrintControl(HWND control, LPARAM) {
  const int id = GetDlgCtrlID(control);
  if (id <= 0 || id == 0xFFFF) return TRUE;
  const LRESULT check = SendMessageA(control, BM_GETCHECK, 0, 0);
  std::printf("control %d %d %d %d %s\n", id, IsWindowVisible(control) ? 1 : 0,
              IsWindowEnabled(control) ? 1 : 0, check == BST_CHECKED ? 1 : 0,
              TextOf(control).c_str());
  return TRUE;
}

void PressKey(WPARAM key) {
  GUITHREADINFO thread{};
  thread.cbSize = sizeof(thread);
  HWND target = g_dialog;
  if (GetGUIThreadInfo(GetWindowThreadProcessId(g_dialog, nullptr), &thread) && thread.hwndFocus) {
    target = thread.hwndFocus;
  }
  PostMessageA(target, WM_KEYDOWN, key, 1);
  PostMessageA(target, WM_KEYUP, key, 0xC0000001);
}

bool Step(const std::vector<std::string>& args, std::size_t& at) {
  const std::string step = args[at++];
  const auto next = [&]() -> std::string { return at < args.size() ? args[at++] : std::string(); };
  if (step == "wait") {
    if (!WaitFor(next(), true)) return false;
    RECT rect;
    GetWindowRect(g_dialog, &rect);
    std::printf("window %ld %ld %ld %ld %d\n", rect.left, rect.top, rect.right - rect.left,
                rect.bottom - rect.top, IsWindowEnabled(g_dialog) ? 1 : 0);
    return true;
  }
  if (step == "gone") return WaitFor(next(), false);
  if (!g_dialog) return false;
  if (step == "type") {
    HWND edit = Control(next());
    const std::string text = next();
    return edit && SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  if (step == "click") {
    HWND button = Control(next());
    DWORD_PTR ignored = 0;
    return button && SendMessageTimeoutA(button, BM_CLICK, 0, 0, SMTO_NORMAL, 10000, &ignored);
  }
  if (step == "post-click") {
    HWND button = Control(next());
    return button && PostMessageA(button, BM_CLICK, 0, 0);
  }
  if (step == "key") {
    const std::string key = next();
    if (key != "enter" && key != "escape") return false;
    PressKey(key == "enter" ? VK_RETURN : VK_ESCAPE);
    Sleep(500);
    return true;
  }
  if (step == "close") {
    PostMessageA(g_dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    Sleep(500);
    return true;
  }
  if (step == "focus") {
    GUITHREADINFO thread{};
    thread.cbSize = sizeof(thread);
    int id = 0;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(g_dialog, nullptr), &thread) &&
        thread.hwndFocus && GetParent(thread.hwndFocus) == g_dialog) {
      id = GetDlgCtrlID(thread.hwndFocus);
    }
    std::printf("focus %d\n", id);
    return true;
  }
  if (step == "state") {
    EnumChildWindows(g_dialog, PrintControl, 0);
    return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  std::size_t at = 0;
  while (at < args.size()) {
    const std::size_t step = at;
    if (!Step(args, at)) {
      std::printf("failed %s\n", args[step].c_str());
      std::fflush(stdout);
      return 1;
    }
    std::fflush(stdout);
  }
  return 0;
}
