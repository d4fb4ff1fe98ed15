// The probe's own top-level X11 window, into which a plug-in editor is attached as
// "X11EmbedWindowID". It can be resized, destroyed before the editor is removed (as some hosts
// do), and read back as pixels. Main thread.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace norvo::probe {

// Pixels read from the screen, 8-bit RGB, row by row.
struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;
  std::uint32_t pixel(int x, int y) const;  // 0xRRGGBB
};

class HostWindow {
 public:
  // Opens the display named by DISPLAY and maps a window of the given size painted with
  // `background` (0xRRGGBB). Throws ProbeError without a display.
  HostWindow(int width, int height, std::uint32_t background, const std::string& title);
  ~HostWindow();
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  Display* display() const { return display_; }
  Window window() const { return window_; }
  int connectionFd() const { return ConnectionNumber(display_); }
  int width() const { return width_; }
  int height() const { return height_; }

  void resize(int width, int height);
  // Destroys the X window now (the display stays open).
  void destroyWindow();
  bool exists() const { return window_ != 0; }

  // Reads queued X events; true once the user asked to close the window.
  bool processEvents();
  // The window's current content, including the editor's child windows.
  RgbImage capture() const;

 private:
  Display* display_ = nullptr;
  Window window_ = 0;
  Atom deleteMessage_ = 0;
  int width_ = 0;
  int height_ = 0;
  bool closeRequested_ = false;
};

// Writes an image as an 8-bit RGB PNG file; throws ProbeError when the file cannot be written.
void writePng(const RgbImage& image, const std::string& path);

}  // namespace norvo::probe
