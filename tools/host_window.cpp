// The probe's X11 window and its pixels.
#include "tools/host_window.h"

#include <X11/Xutil.h>
#include <png.h>

#include <cstdio>
#include <memory>

#include "tools/probe_error.h"

namespace norvo::probe {

namespace {

// Channel value of `pixel` under `mask`, scaled to 8 bits.
std::uint8_t channel(unsigned long pixel, unsigned long mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (((mask >> shift) & 1u) == 0) ++shift;
  const unsigned long max = mask >> shift;
  return static_cast<std::uint8_t>(((pixel & mask) >> shift) * 255u / max);
}

}  // namespace

std::uint32_t RgbImage::pixel(int x, int y) const {
  const std::size_t at = (static_cast<std::size_t>(y) * width + x) * 3;
  return (std::uint32_t{rgb[at]} << 16) | (std::uint32_t{rgb[at + 1]} << 8) | rgb[at + 2];
}

HostWindow::HostWindow(int width, int height, std::uint32_t background, const std::string& title)
    : width_(width), height_(height) {
  display_ = XOpenDisplay(nullptr);
  if (display_ == nullptr) throw ProbeError("cannot open the X display (is DISPLAY set?)");
  const int screen = DefaultScreen(display_);
  XColor color{};
  color.red = static_cast<unsigned short>(((background >> 16) & 0xFF) * 257);
  color.green = static_cast<unsigned short>(((background >> 8) & 0xFF) * 257);
  color.blue = static_cast<unsigned short>((background & 0xFF) * 257);
  XAllocColor(display_, DefaultColormap(display_, screen), &color);
  window_ = XCreateSimpleWindow(display_, RootWindow(display_, screen), 0, 0,
                                static_cast<unsigned>(width), static_cast<unsigned>(height), 0, 0,
                                color.pixel);
  XStoreName(display_, window_, title.c_str());
  deleteMessage_ = XInternAtom(display_, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(display_, window_, &deleteMessage_, 1);
  XSelectInput(display_, window_, StructureNotifyMask | ExposureMask);
  XMapWindow(display_, window_);
  XSync(display_, False);
}

HostWindow::~HostWindow() {
  destroyWindow();
  XCloseDisplay(display_);
}

void HostWindow::resize(int width, int height) {
  width_ = width;
  height_ = height;
  if (window_ == 0) return;
  XResizeWindow(display_, window_, static_cast<unsigned>(width), static_cast<unsigned>(height));
  XSync(display_, False);
}

void HostWindow::destroyWindow() {
  if (window_ == 0) return;
  XDestroyWindow(display_, window_);
  XSync(display_, False);
  window_ = 0;
}

bool HostWindow::processEvents() {
  while (XPending(display_) > 0) {
    XEvent event;
    XNextEvent(display_, &event);
    if (event.type == ClientMessage &&
        static_cast<Atom>(event.xclient.data.l[0]) == deleteMessage_) {
      closeRequested_ = true;
    }
  }
  return closeRequested_;
}

RgbImage HostWindow::capture() const {
  RgbImage image;
  if (window_ == 0) return image;
  XImage* shot = XGetImage(display_, window_, 0, 0, static_cast<unsigned>(width_),
                           static_cast<unsigned>(height_), AllPlanes, ZPixmap);
  if (shot == nullptr) return image;
  image.width = width_;
  image.height = height_;
  image.rgb.resize(static_cast<std::size_t>(width_) * height_ * 3);
  std::size_t at = 0;
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      const unsigned long value = XGetPixel(shot, x, y);
      image.rgb[at++] = channel(value, shot->red_mask);
      image.rgb[at++] = channel(value, shot->green_mask);
      image.rgb[at++] = channel(value, shot->blue_mask);
    }
  }
  XDestroyImage(shot);
  return image;
}

void writePng(const RgbImage& image, const std::string& path) {
  if (image.width <= 0 || image.height <= 0) throw ProbeError("no pixels to write to " + path);
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"),
                                                       &std::fclose);
  if (!file) throw ProbeError("cannot write " + path);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw ProbeError("cannot write " + path);
  }
  png_init_io(png, file.get());
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width),
               static_cast<png_uint_32>(image.height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < image.height; ++y) {
    png_write_row(png, image.rgb.data() + static_cast<std::size_t>(y) * image.width * 3);
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
}

}  // namespace norvo::probe
