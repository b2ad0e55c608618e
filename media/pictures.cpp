// Picture collections: items and their patterns, the collection lifecycle and
// the image list bound to a display.
#include "media/pictures.h"

#include "media/errors.h"

namespace media {

// ---- TPictureCollection ----------------------------------------------------

TPictureCollectionItem& TPictureCollection::ItemAt(int index) {
  if (index >= 0 && index < Count()) return *items_[size_t(index)];
  // A fresh, uninitialised item each time so callers cannot leave state in it.
  null_item_ = std::make_unique<TPictureCollectionItem>(this);
  return *null_item_;
}

TPictureCollectionItem& TPictureCollection::Add() {
  items_.push_back(std::make_unique<TPictureCollectionItem>(this));
  return *items_.back();
}

void TPictureCollection::Clear() { items_.clear(); }

}  // namespace media
