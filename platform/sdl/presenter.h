#pragma once
// How a frame reaches the window. The presenter keeps a frame of the client
// area's size, takes the presented rectangles into it and shows it scaled to
// the window with its aspect kept (black bars around it): enlarged sharp,
// shrunk by area averaging (platform/frame_shrink.h). Two kinds: SDL's
// accelerated renderer, which waits for the vertical blank, and the window's
// own pixel buffer, filled through a colour table.
#include <SDL.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/display_device.h"
#include "platform/frame_shrink.h"
#include "platform/screen_fit.h"
#include "platform/sdl/handles.h"

namespace platform::sdl {

class Presenter {
 public:
  virtual ~Presenter() = default;
  // A black frame of width x height; false when it cannot be made.
  virtual bool reset(int width, int height) = 0;
  // Lets go of the frame's storage where it is a device resource; nothing
  // is shown again until the next reset().
  virtual void release() {}
  // True while there is a frame to draw into.
  virtual bool ready() const = 0;
  // Copies w x h pixels of src (pitch in pixels) to (x, y) of the frame.
  virtual bool update(const uint16_t* src, int pitch, int x, int y, int w, int h) = 0;
  // Shows the frame in the window.
  virtual DeviceResult show() = 0;
  // True for the accelerated renderer.
  virtual bool accelerated() const = 0;
};

// The accelerated renderer where OpenGL runs on graphics hardware, else the
// window's pixel buffer. Trying the renderer means starting OpenGL, which an
// emulated one makes slow, so once refused it is not tried again for this
// owner: `accelerated_refused` carries that between calls.
std::unique_ptr<Presenter> make_presenter(SDL_Window* window, bool& accelerated_refused);

class RendererPresenter : public Presenter {
 public:
  explicit RendererPresenter(RendererPtr renderer) : renderer_(std::move(renderer)) {}
  bool reset(int width, int height) override;
  void release() override {
    texture_.reset();
    shrunk_texture_.reset();
  }
  bool ready() const override { return texture_ != nullptr; }
  bool update(const uint16_t* src, int pitch, int x, int y, int w, int h) override;
  DeviceResult show() override;
  bool accelerated() const override { return true; }

 private:
  RendererPtr renderer_;
  TexturePtr texture_;  // 5-6-5, the client area's size
  int width_ = 0;
  int height_ = 0;
  // A frame shown smaller than it is goes through the shrink on the
  // processor, since the renderer's filter samples only the four nearest
  // pixels: the frame is kept here and shrunk into a texture of the size it
  // has on the screen, which is drawn one to one.
  std::vector<uint16_t> frame_;
  FrameShrink shrink_;
  std::vector<uint32_t> shrunk_;
  TexturePtr shrunk_texture_;  // 0x00RRGGBB, the viewport's size
  int shrunk_w_ = 0, shrunk_h_ = 0;
  bool show_shrunk(const Viewport& vp);
};

class FramebufferPresenter : public Presenter {
 public:
  explicit FramebufferPresenter(SDL_Window* window) : window_(window) {}
  bool reset(int width, int height) override;
  bool ready() const override { return true; }
  bool update(const uint16_t* src, int pitch, int x, int y, int w, int h) override;
  DeviceResult show() override;
  bool accelerated() const override { return false; }

 private:
  SDL_Window* window_;
  int width_ = 0;
  int height_ = 0;
  std::vector<uint16_t> frame_;
  // The window's buffer as last seen (SDL's, never freed here): a new or
  // resized one gets its bars drawn once.
  const SDL_Surface* surface_ = nullptr;
  int surface_w_ = 0, surface_h_ = 0;
  uint32_t format_ = 0;
  std::vector<uint32_t> lut_;  // 5-6-5 to the window's format
  std::vector<int> cols_;      // source column of each viewport column
  int cols_src_w_ = 0;
  FrameShrink shrink_;
  std::vector<uint32_t> shrunk_;  // the shrunk frame, for window formats it is not in
  void draw_shrunk(SDL_Surface* ws, const Viewport& vp);
  void draw_scaled(SDL_Surface* ws, const Viewport& vp);
};

// The window pixel in format f for every 5-6-5 colour, each channel widened
// by repeating its top bits (so white stays white).
void fill_colour_table(const SDL_PixelFormat* f, std::vector<uint32_t>& lut);

}  // namespace platform::sdl
