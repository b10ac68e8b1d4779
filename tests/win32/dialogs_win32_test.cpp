// The Win32 dialog host: the in-memory template it builds, read back word by
// word, and modal runs of the main dialog in which a timer plays the user.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/mail_clients.h"
#include "ui/dialog_host.h"
#include "ui/dialog_template.h"
#include "ui/win32/win32_dialogs.h"

namespace quillbank {
namespace {

// Reads a built template back; reading past its end is recorded, not fatal.
class WordReader {
 public:
  explicit WordReader(const std::vector<std::uint16_t>& words) : words_(words) {}
  std::uint16_t Word() {
    if (at_ >= words_.size()) {
      overrun_ = true;
      return 0;
    }
    return words_[at_++];
  }
  DWORD Dword() {
    const DWORD low = Word();
    return low | (static_cast<DWORD>(Word()) << 16);
  }
  // The templates' texts are ASCII; anything else shows as '?'.
  std::string Text() {
    std::string text;
    for (std::uint16_t c = Word(); c != 0 && !overrun_; c = Word()) {
      text.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    }
    return text;
  }
  [[nodiscard]] std::size_t at() const { return at_; }
  [[nodiscard]] bool overrun() const { return overrun_; }

 private:
  const std::vector<std::uint16_t>& words_;
  std::size_t at_ = 0;
  bool overrun_ = false;
};

std::uint16_t AtomOf(ControlKind kind) {
  if (kind == ControlKind::StaticText) return 0x82;
  if (kind == ControlKind::Edit) return 0x81;
  return 0x80;
}

TEST(Win32DialogTemplate, HeaderOfTheMainDialog) {
  const DialogTemplate& dialog = MachineDialogTemplate();
  const std::vector<std::uint16_t> words = BuildWin32DialogTemplate(dialog);
  WordReader in(words);
  const DWORD style = in.Dword();
  const DWORD wanted = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
  EXPECT_EQ(style & wanted, wanted);
  EXPECT_EQ(in.Dword(), static_cast<DWORD>(WS_EX_APPWINDOW));
  EXPECT_EQ(in.Word(), 20);
  in.Word();  // x and y: the dialog is centred
  in.Word();
  EXPECT_EQ(in.Word(), 302);
  EXPECT_EQ(in.Word(), 174);
  EXPECT_EQ(in.Word(), 0) << "menu";
  EXPECT_EQ(in.Word(), 0) << "window class";
  EXPECT_EQ(in.Text(), "Tessaline");
  EXPECT_EQ(in.Word(), 8);
  EXPECT_EQ(in.Text(), "MS Sans Serif");
  EXPECT_FALSE(in.overrun());
  // Not on the taskbar of its own: no application-window style.
  const std::vector<std::uint16_t> about = BuildWin32DialogTemplate(AboutDialogTemplate());
  ASSERT_GE(about.size(), 4u);
  EXPECT_EQ(about[2] | (about[3] << 16), 0);
}

// Every item, in both dialogs, carries what its template control says, and the
// words end exactly where the last item does.
TEST(Win32DialogTemplate, ItemsMatchTheirControls) {
  for (const DialogTemplate* dialog : {&MachineDialogTemplate(), &AboutDialogTemplate()}) {
    SCOPED_TRACE(dialog->caption);
    const std::vector<std::uint16_t> words = BuildWin32DialogTemplate(*dialog);
    WordReader in(words);
    in.Dword();
    in.Dword();
    ASSERT_EQ(in.Word(), dialog->controls.size());
    for (int i = 0; i < 6; ++i) in.Word();
    in.Text();
    in.Word();
    in.Text();
    for (const ControlTemplate& control : dialog->controls) {
      SCOPED_TRACE("control " + std::to_string(control.id) + " \"" + control.text + "\"");
      if (in.at() % 2 != 0) {
        EXPECT_EQ(in.Word(), 0) << "padding";
      }
      ASSERT_EQ(in.at() % 2, 0u) << "items start on a DWORD boundary";
      const DWORD style = in.Dword();
      EXPECT_EQ(in.Dword(), 0u) << "extended style";
      EXPECT_EQ(in.Word(), control.rect.x);
      EXPECT_EQ(in.Word(), control.rect.y);
      EXPECT_EQ(in.Word(), control.rect.width);
      EXPECT_EQ(in.Word(), control.rect.height);
      EXPECT_EQ(in.Word(), static_cast<std::uint16_t>(control.id));
      EXPECT_EQ(in.Word(), 0xFFFF) << "a class atom follows";
      EXPECT_EQ(in.Word(), AtomOf(control.kind));
      EXPECT_EQ(in.Text(), control.text);
      EXPECT_EQ(in.Word(), 0) << "creation data";
      EXPECT_TRUE(style & WS_CHILD);
      EXPECT_EQ((style & WS_VISIBLE) != 0, !control.Has(control_style::kHidden));
      EXPECT_EQ((style & WS_DISABLED) != 0, control.id == config_ids::kConfigure);
      EXPECT_EQ((style & WS_GROUP) != 0, control.Has(control_style::kGroup));
      EXPECT_EQ((style & WS_TABSTOP) != 0, control.Has(control_style::kTabStop));
      ASSERT_FALSE(in.overrun());
    }
    EXPECT_EQ(in.at(), words.size());
  }
}

// ------------------------------------------------------------ modal runs

using namespace config_ids;

constexpr UINT_PTR kStepTimer = 1, kGuardTimer = 2;
constexpr int kTimedOut = 77;

// Runs the main dialog. Once it is up, each tick of a short timer performs the
// next step; a guard timer ends a run that stalls so that no test can hang.
class Win32DialogRun : public ::testing::Test, public DialogHandler {
 protected:
  bool OnInitDialog(DialogWindow& window) override {
    window_ = &window;
    EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&dialog_));
    if (!dialog_) {
      ADD_FAILURE() << "no window of this thread has the dialog's controls";
      window.EndDialog(kTimedOut);
      return true;
    }
    running_ = this;
    SetTimer(dialog_, kStepTimer, 10, Step);
    SetTimer(dialog_, kGuardTimer, 10000, Guard);
    if (on_init_) on_init_(window);
    return true;
  }
  void OnControl(int id, ControlEvent event) override {
    log_.push_back((event == ControlEvent::Clicked ? "click " : "text ") + std::to_string(id));
  }
  void OnCancel() override {
    log_.push_back("cancel");
    if (++cancels_ == cancels_to_end_) window_->EndDialog(kCancelResult);
  }

  int Run() {
    const int result = MakeWin32DialogFramework()->DoModal(MachineDialogTemplate(), *this);
    running_ = nullptr;
    return result;
  }
  HWND Item(int id) const { return GetDlgItem(dialog_, id); }
  LONG_PTR StyleOf(int id) const { return GetWindowLongPtrA(Item(id), GWL_STYLE); }

  static BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
    if (!GetDlgItem(window, kAddress)) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  static void CALLBACK Step(HWND, UINT, UINT_PTR, DWORD) {
    if (running_ && running_->next_ < running_->steps_.size()) running_->steps_[running_->next_++]();
  }
  static void CALLBACK Guard(HWND window, UINT, UINT_PTR, DWORD) {
    ADD_FAILURE() << "the dialog was still open after 10 s";
    EndDialog(window, kTimedOut);
  }

  static inline Win32DialogRun* running_ = nullptr;
  DialogWindow* window_ = nullptr;
  HWND dialog_ = nullptr;
  std::function<void(DialogWindow&)> on_init_;
  std::vector<std::function<void()>> steps_;
  std::size_t next_ = 0;
  std::vector<std::string> log_;
  int cancels_ = 0;
  int cancels_to_end_ = 1;
};

#define SKIP_WITHOUT_WINDOWS(result) \
  if ((result) == -1) GTEST_SKIP() << "the dialog window could not be made (no display?)"

// The program's own calls take effect at once and are not reported as the
// user's, neither while the dialog opens nor afterwards.
TEST_F(Win32DialogRun, ProgramCallsChangeControlsQuietly) {
  on_init_ = [this](DialogWindow& window) {
    window.SetControlText(kAddress, "ann@example.org");
    EXPECT_EQ(window.ControlText(kAddress), "ann@example.org");
    window.SetCheck(kUseSsl, true);
    EXPECT_TRUE(window.IsChecked(kUseSsl));
    window.SetCheck(kUseSsl, false);
    EXPECT_FALSE(window.IsChecked(kUseSsl));
    window.SetCheck(kOutlook, true);
    EXPECT_TRUE(window.IsChecked(kOutlook));
    EXPECT_FALSE(window.IsChecked(kOutlookExpress));
    EXPECT_FALSE(window.IsControlEnabled(kConfigure));
    window.EnableControl(kConfigure, true);
    EXPECT_TRUE(window.IsControlEnabled(kConfigure));
    window.EnableControl(kOverwrite, false);
    EXPECT_FALSE(window.IsControlEnabled(kOverwrite));
    window.ShowControl(kAbout, false);
    EXPECT_FALSE(StyleOf(kAbout) & WS_VISIBLE);
    window.ShowControl(kLaunch, true);
    EXPECT_TRUE(StyleOf(kLaunch) & WS_VISIBLE);
    window.SetDefaultButton(kIdCancel);
    EXPECT_EQ(SendMessageA(dialog_, DM_GETDEFID, 0, 0), MAKELONG(kIdCancel, DC_HASDEFID));
    EXPECT_EQ(StyleOf(kIdCancel) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    EXPECT_EQ(StyleOf(kConfigure) & BS_TYPEMASK, BS_PUSHBUTTON);
  };
  steps_ = {
      [this] {
        window_->SetControlText(kDisplayName, "Ann Example");
        window_->SetCheck(kMakeDefault, true);
        EXPECT_EQ(window_->ControlText(kDisplayName), "Ann Example");
      },
      [this] { window_->EndDialog(5); },
  };
  const int result = Run();
  SKIP_WITHOUT_WINDOWS(result);
  EXPECT_EQ(result, 5);
  EXPECT_EQ(log_, std::vector<std::string>{});
}

// Typed text is read as Unicode and converted through the ANSI code page
// (Windows-1252 in the test prefix); a character it has no byte for reads as
// SUB, which the run refuses, never as "?".
TEST_F(Win32DialogRun, TypedTextIsConvertedThroughTheCodePage) {
  if (GetACP() != 1252) GTEST_SKIP() << "the prefix's ANSI code page is " << GetACP();
  const std::pair<const wchar_t*, std::string> cases[] = {
      {L"J\u00FCrgen Gr\u00F6\u00DF \u20AC", "J\xFCrgen Gr\xF6\xDF \x80"},
      {L"\u4E2D\u6587 x", "\x1A\x1A x"},
      {L"\u0141\U0001F600", "\x1A\x1A"},
  };
  for (const auto& [typed, read] : cases) {
    steps_.push_back([this, typed = typed, read = read] {
      SetWindowTextW(Item(kDisplayName), typed);
      EXPECT_EQ(window_->ControlText(kDisplayName), read);
    });
  }
  steps_.push_back([this] { window_->EndDialog(5); });
  const int result = Run();
  SKIP_WITHOUT_WINDOWS(result);
  EXPECT_EQ(result, 5);
}

// Typing, clicks, Enter, Escape, the close box and the Cancel button as the
// user gives them.
TEST_F(Win32DialogRun, UserActionsReachTheHandler) {
  on_init_ = [](DialogWindow& window) {
    window.SetCheck(kOutlook, true);
    window.SetDefaultButton(kAbout);  // what Enter presses below
  };
  cancels_to_end_ = 3;
  const auto key = [this](WPARAM vk) { PostMessageA(Item(kAddress), WM_KEYDOWN, vk, 1); };
  steps_ = {
      [this] { SendMessageA(Item(kAddress), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("ann@")); },
      [this] {
        SendMessageA(Item(kEudora), BM_CLICK, 0, 0);
        for (int id : kClientButtons) EXPECT_EQ(window_->IsChecked(id), id == kEudora) << id;
      },
      [this] {
        SendMessageA(Item(kMakeDefault), BM_CLICK, 0, 0);
        EXPECT_TRUE(window_->IsChecked(kMakeDefault));
      },
      [key] { key(VK_RETURN); },
      [key] { key(VK_ESCAPE); },
      // The close box cancels even while the Cancel button is disabled, when
      // Windows's own dialog manager drops it (Wine's does not).
      [this] {
        EnableWindow(Item(kIdCancel), FALSE);
        PostMessageA(dialog_, WM_CLOSE, 0, 0);
      },
      [this] {
        EnableWindow(Item(kIdCancel), TRUE);
        SendMessageA(Item(kIdCancel), BM_CLICK, 0, 0);
      },
  };
  const int result = Run();
  SKIP_WITHOUT_WINDOWS(result);
  EXPECT_EQ(result, kCancelResult);
  const std::vector<std::string> wanted = {"text 1004", "click 1015", "click 1003", "click 1018",
                                           "cancel",    "cancel",     "cancel"};
  EXPECT_EQ(log_, wanted);
}

}  // namespace
}  // namespace quillbank
