#include "ui/win32/win32_dialogs.h"

#include <windows.h>
#include <commctrl.h>

#include <optional>
#include <string>

#include "env/platform/win32/win32_platform.h"

namespace quillbank {
namespace {

// Predefined window class atoms of dialog items.
constexpr std::uint16_t kButtonClass = 0x0080;
constexpr std::uint16_t kEditClass = 0x0081;
constexpr std::uint16_t kStaticClass = 0x0082;

class TemplateWriter {
 public:
  void Word(std::uint16_t word) { words_.push_back(word); }
  void Dword(std::uint32_t value) {
    Word(static_cast<std::uint16_t>(value & 0xFFFF));
    Word(static_cast<std::uint16_t>(value >> 16));
  }
  // Text in the ANSI code page, stored as UTF-16 with its terminator.
  void Text(const std::string& text) {
    if (!text.empty()) {
      const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                             nullptr, 0);
      std::wstring wide(static_cast<std::size_t>(length), L'\0');
      MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
      for (wchar_t c : wide) Word(static_cast<std::uint16_t>(c));
    }
    Word(0);
  }
  // Items start on a DWORD boundary.
  void AlignToDword() {
    if (words_.size() % 2 != 0) Word(0);
  }
  std::vector<std::uint16_t> Take() { return std::move(words_); }

 private:
  std::vector<std::uint16_t> words_;
};

struct ItemClass {
  std::uint16_t atom;
  DWORD style;
};

ItemClass ClassOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::StaticText: return {kStaticClass, SS_LEFT};
    case ControlKind::RadioButton: return {kButtonClass, BS_AUTORADIOBUTTON};
    case ControlKind::CheckBox: return {kButtonClass, BS_AUTOCHECKBOX};
    case ControlKind::PushButton: return {kButtonClass, BS_PUSHBUTTON};
    case ControlKind::DefPushButton: return {kButtonClass, BS_DEFPUSHBUTTON};
    case ControlKind::Edit: return {kEditClass, ES_LEFT};
    case ControlKind::GroupBox: return {kButtonClass, BS_GROUPBOX};
  }
  return {kStaticClass, SS_LEFT};
}

DWORD StyleOf(const ControlTemplate& control) {
  using namespace control_style;
  DWORD style = WS_CHILD | ClassOf(control.kind).style;
  if (!control.Has(kHidden)) style |= WS_VISIBLE;
  if (control.Has(kDisabled)) style |= WS_DISABLED;
  if (control.Has(kGroup)) style |= WS_GROUP;
  if (control.Has(kTabStop)) style |= WS_TABSTOP;
  if (control.Has(kBorder)) style |= WS_BORDER;
  if (control.Has(kAutoHScroll)) style |= ES_AUTOHSCROLL;
  return style;
}

// ------------------------------------------------------------ one dialog

// Typed text in the ANSI code page. A character the code page has no byte
// for becomes SUB (0x1A), a control character, so the run refuses the text
// (status 30) rather than writing it with a stand-in.
std::string NarrowTyped(std::u16string_view typed) {
  const CodePage& code_page = AnsiCodePage();
  if (std::optional<std::string> narrow = code_page.Narrow(typed)) return std::move(*narrow);
  std::string text;
  for (std::size_t i = 0; i < typed.size(); ++i) {
    const bool pair = i + 1 < typed.size() && typed[i] >= 0xD800 && typed[i] <= 0xDBFF;
    const std::optional<std::string> one = code_page.Narrow(typed.substr(i, pair ? 2 : 1));
    text += one ? *one : std::string("\x1A");
    if (pair) ++i;
  }
  return text;
}

class Win32Window final : public DialogWindow {
 public:
  Win32Window(DialogHandler& handler, HICON big, HICON small)
      : handler_(handler), big_icon_(big), small_icon_(small) {}

  void Attach(HWND window) { window_ = window; }
  [[nodiscard]] HWND handle() const { return window_; }
  DialogHandler& handler() { return handler_; }
  [[nodiscard]] HICON icon() const { return big_icon_; }
  [[nodiscard]] bool shown_icon() const { return shown_icon_; }
  // Notifications that the program's own changes cause are not the user's.
  [[nodiscard]] bool quiet() const { return quiet_ > 0; }

  class Quiet {
   public:
    explicit Quiet(Win32Window& window) : window_(window) { ++window_.quiet_; }
    ~Quiet() { --window_.quiet_; }
    Quiet(const Quiet&) = delete;
    Quiet& operator=(const Quiet&) = delete;

   private:
    Win32Window& window_;
  };

  void ShowControl(int id, bool show) override {
    ShowWindow(GetDlgItem(window_, id), show ? SW_SHOW : SW_HIDE);
  }
  void EnableControl(int id, bool enable) override {
    EnableWindow(GetDlgItem(window_, id), enable ? TRUE : FALSE);
  }
  void SetControlText(int id, const std::string& text) override {
    // Setting an edit's text moves its caret: leave an unchanged text alone,
    // so that the exchange after each keystroke does not disturb typing.
    if (ControlText(id) == text) return;
    Quiet quiet(*this);
    SetDlgItemTextA(window_, id, text.c_str());
  }
  void SetCheck(int id, bool checked) override {
    // Clearing a radio button also takes its tab stop away, so an exchange
    // that clears every button of a group would leave the keyboard no way
    // into it: only real changes are made.
    if (IsChecked(id) == checked) return;
    CheckDlgButton(window_, id, checked ? BST_CHECKED : BST_UNCHECKED);
  }
  std::string ControlText(int id) override {
    // Read as Unicode and converted here, so that what the code page cannot
    // hold is known instead of silently read as "?".
    HWND control = GetDlgItem(window_, id);
    const int length = GetWindowTextLengthW(control);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(control, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return NarrowTyped(std::u16string(text.begin(), text.end()));
  }
  bool IsChecked(int id) override { return IsDlgButtonChecked(window_, id) == BST_CHECKED; }
  bool IsControlEnabled(int id) override {
    HWND control = GetDlgItem(window_, id);
    return control && IsWindowEnabled(control);
  }
  void SetDefaultButton(int id) override {
    // The dialog manager moves the default-button look to the new button.
    SendMessageA(window_, DM_SETDEFID, static_cast<WPARAM>(id), 0);
    // The focus goes there too: the control that had it may be about to be
    // hidden, and a dialog without focus would not see Enter at all.
    SendMessageA(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(window_, id)), TRUE);
  }
  void SetAppIcon(bool big) override {
    HICON icon = big ? big_icon_ : small_icon_;
    if (!icon) return;
    shown_icon_ = true;
    SendMessageA(window_, WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  }
  void EndDialog(int result) override { ::EndDialog(window_, result); }

 private:
  DialogHandler& handler_;
  HWND window_ = nullptr;
  HICON big_icon_;
  HICON small_icon_;
  bool shown_icon_ = false;
  int quiet_ = 0;
};

// While minimised the client area shows the icon, centred as the shell
// expects of a dialog-based program.
void PaintIcon(HWND window, HICON icon) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  SendMessageA(window, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client;
  GetClientRect(window, &client);
  const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
  const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
  DrawIcon(dc, x, y, icon);
  EndPaint(window, &paint);
}

INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* dialog = reinterpret_cast<Win32Window*>(GetWindowLongPtrA(window, DWLP_USER));
  if (message == WM_INITDIALOG) {
    dialog = reinterpret_cast<Win32Window*>(lparam);
    SetWindowLongPtrA(window, DWLP_USER, lparam);
    dialog->Attach(window);
    Win32Window::Quiet quiet(*dialog);
    return dialog->handler().OnInitDialog(*dialog) ? TRUE : FALSE;
  }
  if (!dialog) return FALSE;
  switch (message) {
    case WM_COMMAND: {
      const int id = LOWORD(wparam);
      const int code = HIWORD(wparam);
      if (id == IDCANCEL) {
        // The cancel button, or Escape from the dialog manager.
        if (code == BN_CLICKED) dialog->handler().OnCancel();
        return TRUE;
      }
      // IDOK without a button of that number comes from Enter with no default
      // button; it must not end the dialog behind the handler's back.
      if (id == IDOK || dialog->quiet()) return TRUE;
      if (code == BN_CLICKED) dialog->handler().OnControl(id, ControlEvent::Clicked);
      if (code == EN_CHANGE) dialog->handler().OnControl(id, ControlEvent::TextChanged);
      return TRUE;
    }
    case WM_CLOSE:
      dialog->handler().OnCancel();
      return TRUE;
    case WM_PAINT:
      if (IsIconic(window) && dialog->icon() && dialog->shown_icon()) {
        PaintIcon(window, dialog->icon());
        return TRUE;
      }
      return FALSE;
    case WM_QUERYDRAGICON:
      // One of the few messages whose answer is the dialog procedure's result.
      return reinterpret_cast<INT_PTR>(dialog->icon());
    default:
      return FALSE;
  }
}

class Win32DialogFramework final : public DialogFramework {
 public:
  Win32DialogFramework() {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    HINSTANCE program = GetModuleHandleA(nullptr);
    big_icon_ = static_cast<HICON>(LoadImageA(program, MAKEINTRESOURCEA(kAppIconResource), IMAGE_ICON,
                                              GetSystemMetrics(SM_CXICON),
                                              GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
    small_icon_ = static_cast<HICON>(LoadImageA(
        program, MAKEINTRESOURCEA(kAppIconResource), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
        GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
  }
  ~Win32DialogFramework() override {
    if (big_icon_) DestroyIcon(big_icon_);
    if (small_icon_) DestroyIcon(small_icon_);
  }

  int DoModal(const DialogTemplate& dialog, DialogHandler& handler) override {
    const std::vector<std::uint16_t> words = BuildWin32DialogTemplate(dialog);
    Win32Window window(handler, big_icon_, small_icon_);
    // A dialog opened from another one (the About box) is owned by it, so
    // the one below is disabled until it closes: it cannot be configured,
    // closed or asked for a second About box meanwhile.
    HWND owner = open_.empty() ? nullptr : open_.back()->handle();
    open_.push_back(&window);
    // A Unicode dialog, so that its edits keep every character typed.
    const INT_PTR result = DialogBoxIndirectParamW(
        GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(words.data()), owner,
        DialogProc, reinterpret_cast<LPARAM>(&window));
    open_.pop_back();
    return static_cast<int>(result);
  }

 private:
  HICON big_icon_ = nullptr;
  HICON small_icon_ = nullptr;
  std::vector<Win32Window*> open_;  // the dialogs running now, innermost last
};

}  // namespace

std::vector<std::uint16_t> BuildWin32DialogTemplate(const DialogTemplate& dialog) {
  TemplateWriter out;
  DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_CENTER;
  out.Dword(style);
  out.Dword(dialog.on_taskbar ? WS_EX_APPWINDOW : 0);
  out.Word(static_cast<std::uint16_t>(dialog.controls.size()));
  out.Word(0);  // x and y: centred by DS_CENTER
  out.Word(0);
  out.Word(static_cast<std::uint16_t>(dialog.width));
  out.Word(static_cast<std::uint16_t>(dialog.height));
  out.Word(0);  // no menu
  out.Word(0);  // the dialog class
  out.Text(dialog.caption);
  out.Word(static_cast<std::uint16_t>(dialog.font_points));
  out.Text(dialog.font_name);
  for (const ControlTemplate& control : dialog.controls) {
    out.AlignToDword();
    out.Dword(StyleOf(control));
    out.Dword(0);  // extended style
    out.Word(static_cast<std::uint16_t>(control.rect.x));
    out.Word(static_cast<std::uint16_t>(control.rect.y));
    out.Word(static_cast<std::uint16_t>(control.rect.width));
    out.Word(static_cast<std::uint16_t>(control.rect.height));
    out.Word(static_cast<std::uint16_t>(control.id));  // -1 becomes 0xFFFF
    out.Word(0xFFFF);  // a predefined class follows as an atom
    out.Word(ClassOf(control.kind).atom);
    out.Text(control.text);
    out.Word(0);  // no creation data
  }
  return out.Take();
}

std::unique_ptr<DialogFramework> MakeWin32DialogFramework() {
  return std::make_unique<Win32DialogFramework>();
}

}  // namespace quillbank
