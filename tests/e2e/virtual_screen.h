// An X display without a monitor (Xvfb) for end-to-end tests that show
// windows, and screenshots of it with ImageMagick's import.
//
//   if (!VirtualScreenAvailable()) GTEST_SKIP() << "Xvfb or import is missing";
//   VirtualScreen screen;
//   ASSERT_TRUE(screen.ok());
//   ... run programs with {"DISPLAY", screen.display()} ...
//   screen.Screenshot(folder / "dialog.png", {x, y, width, height});
#pragma once

#include <filesystem>
#include <string>

namespace quillbank::e2e {

// True when Xvfb and import are installed.
[[nodiscard]] bool VirtualScreenAvailable();

struct ScreenArea {
  long x = 0;
  long y = 0;
  long width = 0;
  long height = 0;
};

class VirtualScreen {
 public:
  // Starts Xvfb on a free display, 1024 by 768 in true colour.
  VirtualScreen();
  ~VirtualScreen();
  VirtualScreen(const VirtualScreen&) = delete;
  VirtualScreen& operator=(const VirtualScreen&) = delete;

  [[nodiscard]] bool ok() const { return !display_.empty(); }
  [[nodiscard]] const std::string& display() const { return display_; }  // ":<n>"

  // Saves `area` of the screen as a PNG file; false when import failed.
  bool Screenshot(const std::filesystem::path& png, const ScreenArea& area) const;

 private:
  int pid_ = -1;
  std::string display_;
};

}  // namespace quillbank::e2e
