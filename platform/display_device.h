#pragma once
#include <cstdint>
#include <vector>

namespace platform {

struct DisplayMode {
  int width = 0;
  int height = 0;
  int bits = 0;
};

enum class DeviceResult {
  Ok,
  SurfacesLost,  // the device's surfaces were lost: restore, then try again
  Failed,
};

// The display device under the display component: the mode list, the mode,
// and the presentation of a 16-bit (RGB565) back surface.
class DisplayDevice {
 public:
  virtual ~DisplayDevice() = default;
  // Every mode the device offers (any order).
  virtual std::vector<DisplayMode> modes() = 0;
  // Enters a mode (full screen) or makes a window of that size. False when
  // the device refuses.
  virtual bool set_mode(int width, int height, int bits, bool fullscreen) = 0;
  // Size of the window's client area in back-surface pixels (in full screen
  // the mode's size).
  virtual int client_width() = 0;
  virtual int client_height() = 0;
  // True while the device's surfaces are lost.
  virtual bool surfaces_lost() = 0;
  // Makes the surfaces usable again; false while that is not yet possible.
  virtual bool restore() = 0;
  // Copies a 16-bit RGB565 image (pitch in pixels) to the rectangle at
  // (dst_x, dst_y) of size dst_w x dst_h of the client area and shows it.
  virtual DeviceResult present(const uint16_t* pixels, int width, int height, int pitch, int dst_x,
                               int dst_y, int dst_w, int dst_h) = 0;
  // Waits for the start of the next vertical blank.
  virtual void wait_vblank() = 0;
  // Releases the mode (back to windowed/desktop).
  virtual void close() = 0;
};

}  // namespace platform
