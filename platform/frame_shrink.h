#pragma once
// The frame shrunk onto a window smaller than itself (800 x 600 on a
// 640 x 480 screen), the same for every backend that presents on the
// processor. Each window pixel is the average of the frame pixels it covers,
// each weighted by the share of it that lies under the window pixel (area
// averaging): thin lines and small letters stay whole and turn a little
// softer, where picking the nearest pixel drops whole rows and columns and
// breaks letters apart. Enlarging is not done here: it stays sharp.
#include <cstdint>
#include <vector>

namespace platform {

class FrameShrink {
 public:
  // True when a frame of src_w x src_h shown at dst_w x dst_h is smaller
  // on the screen than it is, on either axis: then it goes through here.
  static bool needed(int src_w, int src_h, int dst_w, int dst_h) {
    return dst_w > 0 && dst_h > 0 && (dst_w < src_w || dst_h < src_h);
  }

  // The frame (5-6-5 pixels, or 0x00RRGGBB pixels; pitch in pixels) into
  // out_w x out_h pixels of 0x00RRGGBB at out (out_pitch in pixels). The
  // weights are worked out once per pair of sizes and kept. Empty sizes
  // draw nothing.
  void shrink(const uint16_t* src, int src_w, int src_h, int pitch, uint32_t* out, int out_w,
              int out_h, int out_pitch);
  void shrink(const uint32_t* src, int src_w, int src_h, int pitch, uint32_t* out, int out_w,
              int out_h, int out_pitch);

  // Weights are fixed point: each output pixel's weights along one axis sum
  // to exactly this, so a plain area stays exactly its colour.
  static constexpr uint32_t kOne = 4096;

 private:
  // The source pixels under each output pixel along one axis, with weights.
  struct Axis {
    int src = 0, dst = 0;
    std::vector<int> first;        // per output pixel: its first source pixel
    std::vector<int> start;        // per output pixel: where its weights begin (size dst + 1)
    std::vector<uint16_t> weight;  // per tap, summing to kOne per output pixel
    void prepare(int src_size, int dst_size);
  };
  template <class Pixel>
  void run(const Pixel* src, int src_w, int src_h, int pitch, uint32_t* out, int out_w, int out_h,
           int out_pitch);

  Axis across_, down_;
  std::vector<uint64_t> sums_;  // one output row's column sums, a word per source column
};

}  // namespace platform
