#pragma once
// Picture collections: items holding a TDIB, cut into patterns on surfaces,
// and drawn plain or rotated with the plain, additive and blended rules.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "media/dib.h"
#include "media/dxdraw.h"
#include "media/surface.h"

namespace media {

class TPictureCollection;

class TPictureCollectionItem {
 public:
  explicit TPictureCollectionItem(TPictureCollection* owner) : owner_(owner) {}
  TPictureCollection* Owner() const { return owner_; }

  // Stored properties (containers set them directly, then the collection is
  // initialised and restored).
  std::string Name;
  int32_t PatternHeight = 0;
  int32_t PatternWidth = 0;
  TDIB Picture;
  int32_t SkipHeight = 0;
  int32_t SkipWidth = 0;
  bool SystemMemory = false;
  bool Transparent = true;
  TColor TransparentColor = 0;
  // Sets TransparentColor and re-keys the surfaces already cut.
  void SetTransparentColor(TColor color);

  bool Initialized() const { return initialized_; }
  int PatternCount() const { return static_cast<int>(patterns_.size()); }
  // The number of patterns Restore cuts from the picture with the present
  // properties (0 for an empty picture), known before any is cut.
  int64_t PlannedPatternCount() const;
  // Pattern rectangle and surface (null when out of range or on no surface).
  TRect PatternRect(int index) const;
  TDirectDrawSurface* PatternSurface(int index) const;
  int32_t Width() const;   // pattern width as drawn (PW)
  int32_t Height() const;  // pattern height as drawn (PH)

  // Drawing. All do nothing when not initialised or the index is out of range.
  void DrawPattern(TDirectDrawSurface* dest, int32_t x, int32_t y, int pattern) const;
  void DrawPatternRotated(TDirectDrawSurface* dest, int32_t x, int32_t y, int32_t width,
                          int32_t height, int pattern, double center_x, double center_y,
                          int angle) const;
  void DrawPatternRotatedAdditive(TDirectDrawSurface* dest, int32_t x, int32_t y, int32_t width,
                                  int32_t height, int pattern, double center_x, double center_y,
                                  int angle, int alpha) const;
  void DrawPatternRotatedBlended(TDirectDrawSurface* dest, int32_t x, int32_t y, int32_t width,
                                 int32_t height, int pattern, double center_x, double center_y,
                                 int angle, int alpha) const;

  // Lifecycle, driven by the collection.
  void Initialize();
  void Finalize();  // drops surfaces and patterns
  void Restore();   // cuts the patterns again

 private:
  struct Pattern {
    TRect rect;
    TDirectDrawSurface* surface = nullptr;
  };
  // How the picture is cut: one pattern of the whole picture, or a grid of
  // columns x rows patterns every step pixels (none when the sizes leave
  // nothing to cut).
  struct Grid {
    bool whole = false;
    int64_t step_x = 0, step_y = 0, columns = 0, rows = 0;
  };
  Grid Cut() const;

  TPictureCollection* owner_;
  bool initialized_ = false;
  std::vector<Pattern> patterns_;
  std::vector<std::unique_ptr<TDirectDrawSurface>> surfaces_;
};

class TPictureCollection {
 public:
  TPictureCollection() = default;
  TPictureCollection(const TPictureCollection&) = delete;
  TPictureCollection& operator=(const TPictureCollection&) = delete;

  int Count() const { return static_cast<int>(items_.size()); }
  // The item at an index; an index out of range gives an empty item that
  // draws nothing (never throws).
  TPictureCollectionItem& ItemAt(int index);
  TPictureCollectionItem& Add();
  void Clear();

  // 256 entries blue, green, red, reserved, or empty; only stored.
  std::vector<uint8_t> ColorTable;

  // Display the collection belongs to (set by its image list).
  TDXDraw* DXDraw = nullptr;
  bool Initialized() const { return initialized_; }
  // Checks that the display is initialised (else "%s cannot be initialized"
  // with "TPictureCollection") and marks every item initialised.
  void Initialize();
  void Finalize();
  void Restore();

  // Loading, see container.h; these call LoadCollectionFile/Stream.
  void LoadFromFile(const std::string& path);

 private:
  std::vector<std::unique_ptr<TPictureCollectionItem>> items_;
  std::unique_ptr<TPictureCollectionItem> null_item_;
  bool initialized_ = false;
};

// An image list: a picture collection attached to a display, which tells it
// when to initialise, restore and finalise.
class TDXImageList : public TDXDrawListener {
 public:
  TDXImageList() = default;
  ~TDXImageList() override;
  void SetDXDraw(TDXDraw* dxdraw);
  TDXDraw* GetDXDraw() const { return Items.DXDraw; }
  TPictureCollection Items;

  void DXDrawNotify(TDXDraw* sender, TDXDrawNotifyType type) override;
};

}  // namespace media
