// The image list: a picture collection that follows its display's
// initialise, restore and finalise notices.
#include "media/pictures.h"

namespace media {

// ---- TDXImageList ----------------------------------------------------------

TDXImageList::~TDXImageList() { SetDXDraw(nullptr); }

void TDXImageList::SetDXDraw(TDXDraw* dxdraw) {
  if (Items.DXDraw == dxdraw) return;
  if (Items.DXDraw) {
    Items.Finalize();
    Items.DXDraw->UnregisterListener(this);
  }
  Items.DXDraw = dxdraw;
  if (dxdraw) dxdraw->RegisterListener(this);
}

void TDXImageList::DXDrawNotify(TDXDraw* sender, TDXDrawNotifyType type) {
  switch (type) {
    case TDXDrawNotifyType::Destroying:
      // The display is going away: forget it without calling back into it.
      Items.Finalize();
      if (Items.DXDraw == sender) Items.DXDraw = nullptr;
      break;
    case TDXDrawNotifyType::Initialize: Items.Initialize(); break;
    case TDXDrawNotifyType::Restore: Items.Restore(); break;
    case TDXDrawNotifyType::Finalize: Items.Finalize(); break;
    default: break;
  }
}

}  // namespace media
