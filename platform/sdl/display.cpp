#include "platform/sdl/display.h"

#include <algorithm>

namespace platform::sdl {

namespace {

bool is_valid_bits(int bits) { return bits == 8 || bits == 16 || bits == 24 || bits == 32; }

}  // namespace

SdlDisplay::~SdlDisplay() { destroy_window(); }

void SdlDisplay::destroy_window() {
  presenter_.reset();  // before the window it draws into
  window_.destroy();
}

bool SdlDisplay::set_mode(int width, int height, int bits, bool fullscreen) {
  if (width <= 0 || height <= 0) return false;
  if (fullscreen && (!is_valid_bits(bits) || !window_.offers(width, height, bits))) return false;
  // Switching between windowed and full screen makes the window anew: a
  // window created covering the desktop gets the display's bounds at once,
  // also where no window manager acts on a later full-screen request.
  if (window_ && fullscreen != window_.fullscreen()) destroy_window();
  if (!window_) {
    if (!window_.create(width, height, fullscreen)) return false;
  } else if (!fullscreen) {
    window_.resize(width, height);
  }
  width_ = width;
  height_ = height;
  needs_setup_ = true;
  return true;
}

void SdlDisplay::mark_lost(bool device_reset) {
  lost_ = true;
  device_reset_ = device_reset_ || device_reset;
}

bool SdlDisplay::restore() {
  if (!lost_) return true;
  if (!window_) return false;
  if (needs_setup_) {
    // Nothing made yet: the first present makes everything anew.
    lost_ = false;
    device_reset_ = false;
    return true;
  }
  if (device_reset_ && presenter_->accelerated()) {
    presenter_.reset();
    presenter_ = make_presenter(window_.get(), accelerated_refused_);
  }
  if (!presenter_->reset(width_, height_)) return false;
  lost_ = false;
  device_reset_ = false;
  return true;
}

DeviceResult SdlDisplay::present(const uint16_t* pixels, int width, int height, int pitch,
                                 int dst_x, int dst_y, int dst_w, int dst_h) {
  if (lost_) return DeviceResult::SurfacesLost;
  if (needs_setup_ && window_) {
    if (!presenter_) presenter_ = make_presenter(window_.get(), accelerated_refused_);
    if (!presenter_->reset(width_, height_)) return DeviceResult::Failed;
    needs_setup_ = false;
  }
  if (!window_ || !pixels || !presenter_ || !presenter_->ready()) return DeviceResult::Failed;
  // The part of the destination inside the client area, and the matching
  // part of the source (the blit copies one to one; the whole client area is
  // scaled to the window afterwards).
  const PresentCopy c = clip_present(width, height, dst_x, dst_y, dst_w, dst_h, width_, height_);
  const uint16_t* src = pixels + size_t(c.sy) * pitch + c.sx;
  // Mapped first: what is drawn into a window that is not yet on the screen
  // is thrown away, and the first frame would show only with the second.
  if (!window_.shown()) window_.show();
  if (c.w > 0 && c.h > 0 && !presenter_->update(src, pitch, c.dx, c.dy, c.w, c.h))
    return DeviceResult::Failed;
  const DeviceResult r = presenter_->show();
  if (r != DeviceResult::Ok) return r;
  ++frames_;
  return DeviceResult::Ok;
}

void SdlDisplay::close() {
  // The monitor's mode was never changed, so there is nothing to give back;
  // the window is hidden until a mode is set and a frame presented again.
  if (presenter_) presenter_->release();
  window_.hide();
}

void SdlDisplay::toggle_fullscreen() {
  if (!window_ || !window_.shown()) return;
  window_.set_fullscreen(!window_.fullscreen(), width_, height_);
  refresh();
}

void SdlDisplay::refresh() {
  if (!window_ || !window_.shown() || lost_ || needs_setup_ || !presenter_ || !presenter_->ready())
    return;
  presenter_->show();
}

Viewport SdlDisplay::window_viewport() {
  int ww = 0, wh = 0;
  if (window_) SDL_GetWindowSize(window_.get(), &ww, &wh);
  return fit_viewport(width_, height_, ww, wh);
}

bool SdlDisplay::to_surface(int wx, int wy, int& sx, int& sy) {
  const Viewport vp = window_viewport();
  window_to_surface(vp, width_, height_, wx, wy, sx, sy);
  return inside(vp, wx, wy);
}

void SdlDisplay::to_window(int sx, int sy, int& wx, int& wy) {
  surface_to_window(window_viewport(), width_, height_, sx, sy, wx, wy);
}

}  // namespace platform::sdl
