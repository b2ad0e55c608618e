#pragma once
// How the back surface goes on a monitor whose mode is never changed, the
// same for every real backend: the sizes offered for full screen, and where
// the surface lands in a window that covers the desktop (scaled to fit with
// its aspect kept, centred, with black bars around it; an exact whole factor
// is marked so it can be drawn sharp). Pure arithmetic, checked without a
// display.
#include <utility>
#include <vector>

namespace platform {

// The game's own size when no settings say otherwise. It is offered on
// every screen, also on one smaller than it (640 x 480, say): there the
// frame is scaled down into the desktop with its aspect kept, so the game
// starts on any screen instead of refusing the mode.
inline constexpr std::pair<int, int> kDefaultSize{800, 600};

// The sizes offered for full screen: the monitor's own and the desktop's,
// the usual sizes of 4:3, 5:4, 16:10 and 16:9 screens from 640 x 480 up
// to the desktop (the frame is scaled to the desktop whatever its size, so
// any of them shows as designed), and kDefaultSize whatever the desktop.
// Sorted, each once.
std::vector<std::pair<int, int>> offered_sizes(std::vector<std::pair<int, int>> monitor,
                                               int desktop_w, int desktop_h);

struct Viewport {
  int x = 0;  // in window pixels
  int y = 0;
  int w = 0;
  int h = 0;
  bool integer_scale = false;  // a whole factor: draw with nearest-pixel sampling
};

// The rectangle for a surface of surface_w x surface_h inside a window of
// window_w x window_h. An empty surface or window gives an empty rectangle.
Viewport fit_viewport(int surface_w, int surface_h, int window_w, int window_h);

// A window position turned into a surface pixel (may lie outside the surface
// when the position is on a bar).
void window_to_surface(const Viewport& vp, int surface_w, int surface_h, int wx, int wy, int& sx,
                       int& sy);

// The window position of the middle of a surface pixel.
void surface_to_window(const Viewport& vp, int surface_w, int surface_h, int sx, int sy, int& wx,
                       int& wy);

// True when the window position lies on the surface (not on a bar).
bool inside(const Viewport& vp, int wx, int wy);

// The part of a presented image that lands in the client area: the image
// (width x height) goes to the destination rectangle at (dst_x, dst_y) of
// dst_w x dst_h, one to one, cut to the client area of client_w x client_h.
// Source offset (sx, sy), destination (dx, dy), size w x h (empty when w or
// h is 0 or less).
struct PresentCopy {
  int sx = 0, sy = 0, dx = 0, dy = 0, w = 0, h = 0;
};
PresentCopy clip_present(int width, int height, int dst_x, int dst_y, int dst_w, int dst_h,
                         int client_w, int client_h);

}  // namespace platform
