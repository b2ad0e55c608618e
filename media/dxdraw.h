#pragma once
// The display component: chooses and enters the mode, owns the back surface
// and presents it once per frame.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "media/surface.h"
#include "platform/display_device.h"

namespace media {

enum TDXDrawOption : uint16_t {
  doFullScreen = 1 << 0,
  doNoWindowChange = 1 << 1,
  doAllowReboot = 1 << 2,
  doWaitVBlank = 1 << 3,
  doAllowPalette256 = 1 << 4,
  doSystemMemory = 1 << 5,
  doStretch = 1 << 6,
  doCenter = 1 << 7,
  doFlip = 1 << 8,
  do3D = 1 << 9,
  doDirectX7Mode = 1 << 10,
  doRetainedMode = 1 << 11,
  doHardware = 1 << 12,
  doSelectDriver = 1 << 13,
  doZBuffer = 1 << 14,
};
using TDXDrawOptions = uint16_t;

enum class TDXDrawNotifyType {
  Destroying,
  Initializing,
  Initialize,
  InitializeSurface,
  Finalize,
  FinalizeSurface,
  Restore,
};

class TDXDraw;

// How frames reach the screen; chosen at initialisation from doFlip. Both
// present the same way here, the choice is kept for callers that ask.
enum class TDXDrawDriver { None, Blt, Flip };

class TDXDrawListener {
 public:
  virtual ~TDXDrawListener() = default;
  virtual void DXDrawNotify(TDXDraw* sender, TDXDrawNotifyType type) = 0;
};

class TDXDrawDisplay {
 public:
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  int BitCount() const { return bit_count_; }
  void SetWidth(int32_t w) { width_ = w < 0 ? 0 : w; }
  void SetHeight(int32_t h) { height_ = h < 0 ? 0 : h; }
  // 8, 16, 24 or 32; anything else raises
  // "It should be either of 8 or 16 or 24 or 32".
  void SetBitCount(int bits);
  bool FixedBitCount = true;
  bool FixedRatio = true;
  bool FixedSize = false;

 private:
  friend class TDXDraw;
  int32_t width_ = 640;
  int32_t height_ = 480;
  int bit_count_ = 8;
};

class TDXDraw {
 public:
  TDXDraw();
  ~TDXDraw();

  TDXDrawDisplay Display;

  TDXDrawOptions Options() const { return options_; }
  void SetOptions(TDXDrawOptions options);
  TDXDrawOptions NowOptions() const { return now_options_; }

  bool AutoInitialize = true;
  bool AutoSize = true;
  // Whether the control sits on a form (else "Form not found").
  bool HasParentForm = true;

  int32_t SurfaceWidth() const;
  int32_t SurfaceHeight() const;
  void SetSurfaceWidth(int32_t w) { surface_width_ = w; }
  void SetSurfaceHeight(int32_t h) { surface_height_ = h; }

  // The control's size (in full screen the mode's size); the game places
  // things by these.
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  void SetBounds(int32_t width, int32_t height) {
    width_ = width;
    height_ = height;
  }

  TDirectDrawSurface* Surface() { return back_.get(); }  // the back surface
  TDirectDrawSurface* BackSurface() { return back_.get(); }
  TDirectDrawSurface* Primary() { return primary_.get(); }

  bool Initialized() const { return initialized_; }
  void InitializeDisplay();
  void FinalizeDisplay();
  void RestoreSurfaces();
  void PresentFrame();

  void RegisterListener(TDXDrawListener* l);
  void UnregisterListener(TDXDrawListener* l);

  std::function<void()> OnInitialize, OnInitializeSurface, OnFinalize, OnFinalizeSurface,
      OnRestoreSurface;

  // The device (from the platform services unless set).
  platform::DisplayDevice* Device = nullptr;
  // Last failed platform call while presenting (recorded, not raised).
  static constexpr int kErrorFailed = 1;
  static constexpr int kErrorSurfaceLost = 2;
  int LastError = 0;

  TDXDrawDriver Driver() const { return driver_; }
  // The rectangle of the control the back surface is presented to.
  TRect PresentRect() const;
  // NowOptions as derived from a set of Options for a display being set up.
  static TDXDrawOptions DeriveNowOptions(TDXDrawOptions options);

 private:
  platform::DisplayDevice* ActiveDevice() const;
  const std::vector<platform::DisplayMode>& ModeList(platform::DisplayDevice* dev);
  bool SetDisplayMode(platform::DisplayDevice* dev);
  void Notify(TDXDrawNotifyType type);

  TDXDrawDriver driver_ = TDXDrawDriver::None;
  platform::DisplayDevice* device_ = nullptr;
  bool fullscreen_ = false;
  bool modes_listed_ = false;
  std::vector<platform::DisplayMode> mode_list_;

  TDXDrawOptions options_ = 0;
  TDXDrawOptions now_options_ = 0;
  int32_t surface_width_ = 640;
  int32_t surface_height_ = 480;
  int32_t width_ = 640;
  int32_t height_ = 480;
  bool initialized_ = false;
  bool in_initialize_ = false;
  bool in_restore_ = false;
  std::unique_ptr<TDirectDrawSurface> primary_;
  std::unique_ptr<TDirectDrawSurface> back_;
  std::vector<TDXDrawListener*> listeners_;
};

}  // namespace media
