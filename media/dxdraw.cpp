// The display component: effective options, the full-screen mode search,
// surface set-up and restore, and the presentation of the back surface.
#include "media/dxdraw.h"

#include <algorithm>
#include <cstdio>

#include "media/errors.h"
#include "platform/display_device.h"
#include "platform/services.h"

namespace media {

namespace {

bool ValidBitCount(int bits) { return bits == 8 || bits == 16 || bits == 24 || bits == 32; }

std::string ModeMessage(int w, int h, int bits) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "Display mode cannot be changed (%dx%d %dbit)", w, h, bits);
  return buf;
}

}  // namespace

void TDXDrawDisplay::SetBitCount(int bits) {
  if (!ValidBitCount(bits)) throw EDXDrawError("It should be either of 8 or 16 or 24 or 32");
  bit_count_ = bits;
}

TDXDrawOptions TDXDraw::DeriveNowOptions(TDXDrawOptions o) {
  TDXDrawOptions n = o;
  if (!(n & doFullScreen)) n &= ~(doNoWindowChange | doAllowReboot | doAllowPalette256 | doFlip);
  if (!(n & do3D))
    n &= ~(doDirectX7Mode | doRetainedMode | doHardware | doSelectDriver | doZBuffer);
  if (n & doSystemMemory) n &= ~doFlip;
  if (n & doDirectX7Mode) n &= ~doRetainedMode;
  n &= ~doHardware;
  return n;
}

TDXDraw::TDXDraw() { now_options_ = DeriveNowOptions(options_); }

TDXDraw::~TDXDraw() {
  Notify(TDXDrawNotifyType::Destroying);
  FinalizeDisplay();
}

void TDXDraw::SetOptions(TDXDrawOptions options) {
  options_ = options;
  if (initialized_) {
    // Only the presentation switches take effect on a running display.
    constexpr TDXDrawOptions live = doWaitVBlank | doStretch | doCenter;
    now_options_ = static_cast<TDXDrawOptions>((now_options_ & ~live) | (options & live));
  } else {
    now_options_ = DeriveNowOptions(options);
  }
}

int32_t TDXDraw::SurfaceWidth() const {
  return back_ && back_->Exists() ? back_->Width() : surface_width_;
}

int32_t TDXDraw::SurfaceHeight() const {
  return back_ && back_->Exists() ? back_->Height() : surface_height_;
}

platform::DisplayDevice* TDXDraw::ActiveDevice() const {
  return Device != nullptr ? Device : platform::services().display;
}

void TDXDraw::Notify(TDXDrawNotifyType type) {
  std::vector<TDXDrawListener*> copy = listeners_;
  for (TDXDrawListener* l : copy) {
    // A listener may detach others while it is told.
    if (std::find(listeners_.begin(), listeners_.end(), l) == listeners_.end()) continue;
    l->DXDrawNotify(this, type);
  }
}

void TDXDraw::RegisterListener(TDXDrawListener* l) {
  if (std::find(listeners_.begin(), listeners_.end(), l) == listeners_.end())
    listeners_.push_back(l);
}

void TDXDraw::UnregisterListener(TDXDrawListener* l) {
  listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), l), listeners_.end());
}

const std::vector<platform::DisplayMode>& TDXDraw::ModeList(platform::DisplayDevice* dev) {
  if (!modes_listed_) {
    mode_list_ = dev->modes();
    std::sort(mode_list_.begin(), mode_list_.end(),
              [](const platform::DisplayMode& a, const platform::DisplayMode& b) {
                if (a.width != b.width) return a.width < b.width;
                if (a.height != b.height) return a.height < b.height;
                return a.bits < b.bits;
              });
    modes_listed_ = true;
  }
  return mode_list_;
}

bool TDXDraw::SetDisplayMode(platform::DisplayDevice* dev) {
  const int w = Display.width_, h = Display.height_, b = Display.bit_count_;
  if (w <= 0 || h <= 0 || !ValidBitCount(b)) return false;
  if (dev->set_mode(w, h, b, true)) return true;

  auto search = [&](bool ratio) -> bool {
    for (const platform::DisplayMode& m : ModeList(dev)) {
      // The ratio is compared exactly, as two doubles.
      if (ratio && static_cast<double>(m.width) / m.height != static_cast<double>(w) / h) continue;
      if (m.width < w || m.height < h) continue;
      if (Display.FixedBitCount) {
        if (m.bits != b) continue;
      } else if (m.bits < 9 || b < 9) {
        if (m.bits < b) continue;
      }
      if (!dev->set_mode(m.width, m.height, m.bits, true)) return false;
      Display.width_ = m.width;
      Display.height_ = m.height;
      Display.bit_count_ = m.bits;
      return true;
    }
    return false;
  };
  if (Display.FixedRatio && search(true)) return true;
  return search(false);
}

void TDXDraw::InitializeDisplay() {
  if (initialized_) FinalizeDisplay();
  if (!HasParentForm) throw EDXDrawError("Form not found");
  in_initialize_ = true;
  try {
    Notify(TDXDrawNotifyType::Initializing);
    driver_ = (now_options_ & doFlip) ? TDXDrawDriver::Flip : TDXDrawDriver::Blt;

    platform::DisplayDevice* dev = ActiveDevice();
    if (dev == nullptr) throw EDXDrawError(FormatMessage("%s cannot be initialized", "DirectDraw"));
    device_ = dev;

    if (now_options_ & doFullScreen) {
      if (!SetDisplayMode(dev))
        throw EDXDrawError(ModeMessage(Display.width_, Display.height_, Display.bit_count_));
      // The window covers the whole screen and the control fills it.
      width_ = Display.width_;
      height_ = Display.height_;
    } else if (!dev->set_mode(width_, height_, 16, false)) {
      LastError = kErrorFailed;  // a window of another size still shows the frame
    }
    fullscreen_ = (now_options_ & doFullScreen) != 0;

    if (AutoSize) {
      surface_width_ = width_;
      surface_height_ = height_;
    }

    // The primary surface is only a record of the visible area; the device
    // shows what is presented to it.
    primary_ = std::make_unique<TDirectDrawSurface>();
    back_ = std::make_unique<TDirectDrawSurface>(std::max(surface_width_, 1),
                                                 std::max(surface_height_, 1));
    if (!back_->Exists()) throw EDXDrawError(FormatMessage("%s cannot be made", "Surface"));
    back_->FillSurface(0);

    initialized_ = true;
    Notify(TDXDrawNotifyType::Initialize);
    if (OnInitialize) OnInitialize();
    Notify(TDXDrawNotifyType::InitializeSurface);
    if (OnInitializeSurface) OnInitializeSurface();
    in_initialize_ = false;
    RestoreSurfaces();
  } catch (...) {
    in_initialize_ = false;
    FinalizeDisplay();
    throw;
  }
}

void TDXDraw::FinalizeDisplay() {
  if (initialized_) {
    Notify(TDXDrawNotifyType::Finalize);
    if (OnFinalizeSurface) OnFinalizeSurface();
    if (OnFinalize) OnFinalize();
  }
  initialized_ = false;
  primary_.reset();
  back_.reset();
  if (device_ != nullptr) {
    if (fullscreen_) device_->close();
    device_ = nullptr;
  }
  fullscreen_ = false;
  now_options_ = DeriveNowOptions(options_);
}

void TDXDraw::RestoreSurfaces() {
  if (!initialized_ || in_restore_ || device_ == nullptr) return;
  in_restore_ = true;
  try {
    if (device_->surfaces_lost() && !device_->restore()) LastError = kErrorSurfaceLost;
    if (primary_) primary_->FillSurface(0);
    if (back_) back_->FillSurface(0);
    Notify(TDXDrawNotifyType::Restore);
    if (OnRestoreSurface) OnRestoreSurface();
  } catch (...) {
    in_restore_ = false;
    throw;
  }
  in_restore_ = false;
}

TRect TDXDraw::PresentRect() const {
  const int32_t sw = SurfaceWidth(), sh = SurfaceHeight();
  if (now_options_ & doStretch) return Bounds(0, 0, width_, height_);
  int32_t x = 0, y = 0;
  if (now_options_ & doCenter) {
    x = (width_ - sw) / 2;  // truncates toward zero
    y = (height_ - sh) / 2;
  }
  return Bounds(x, y, sw, sh);
}

void TDXDraw::PresentFrame() {
  if (!initialized_ || in_initialize_ || in_restore_ || device_ == nullptr) return;
  if (device_->surfaces_lost()) {
    try {
      RestoreSurfaces();
    } catch (const EMediaError&) {
      // A picture that cannot be rebuilt now is tried again next frame.
      LastError = kErrorSurfaceLost;
      return;
    }
    if (device_->surfaces_lost()) {
      LastError = kErrorSurfaceLost;
      return;
    }
  }
  if (!back_ || !back_->Exists()) return;
  const TRect r = PresentRect();
  if (now_options_ & doWaitVBlank) device_->wait_vblank();
  switch (device_->present(back_->Pixels(), back_->Width(), back_->Height(), back_->Pitch(), r.Left,
                           r.Top, r.Width(), r.Height())) {
    case platform::DeviceResult::Ok: break;
    case platform::DeviceResult::SurfacesLost:
      LastError = kErrorSurfaceLost;  // restored at the next present
      break;
    case platform::DeviceResult::Failed: LastError = kErrorFailed; break;
  }
}

}  // namespace media
