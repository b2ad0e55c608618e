#pragma once
// The skeleton that picture and wave collections share: owned items
// numbered from 0 in the order they were added, a safe empty item for an
// index out of range, and the lifecycle that passes initialise, restore and
// finalise on to every item. What needs a device (a display, a sound
// device) is the collection's own: its Initialize and Restore.
#include <memory>
#include <vector>

namespace media {

// Owner is the collection class itself (it derives from this one); Item is
// constructed from an Owner* and has Initialize, Finalize and Restore.
template <typename Owner, typename Item>
class TCollection {
 public:
  TCollection(const TCollection&) = delete;
  TCollection& operator=(const TCollection&) = delete;

  int Count() const { return static_cast<int>(items_.size()); }

  // The item at an index. An index out of range gives an empty item that is
  // never initialised, so it draws or plays nothing (never throws); values a
  // caller stores on it change nothing else.
  Item& ItemAt(int index) {
    if (index >= 0 && index < Count()) return *items_[static_cast<size_t>(index)];
    if (!null_item_) null_item_ = std::make_unique<Item>(nullptr);
    null_item_->Finalize();
    return *null_item_;
  }
  const Item& ItemAt(int index) const {
    if (index >= 0 && index < Count()) return *items_[static_cast<size_t>(index)];
    static const Item empty(nullptr);
    return empty;
  }

  // A new item at the end; initialised when the collection is (it still has
  // nothing to draw or play until it is restored).
  Item& Add() {
    items_.push_back(std::make_unique<Item>(static_cast<Owner*>(this)));
    if (initialized_) items_.back()->Initialize();
    return *items_.back();
  }

  // Every item goes, with what it holds on the device: the items are
  // finalised first, while the device is still known, and the collection is
  // no longer initialised.
  void Clear() {
    Finalize();
    items_.clear();
  }

  bool Initialized() const { return initialized_; }
  void Finalize() {
    for (auto& item : items_) item->Finalize();
    initialized_ = false;
  }

 protected:
  TCollection() = default;
  // The owner's destructor calls Clear(), so that items release their
  // device objects while the owner's device pointer is still alive.
  ~TCollection() = default;

  // For the owner's Initialize, once its device is there: every item
  // initialised, the collection too.
  void InitializeItems() {
    for (auto& item : items_) item->Initialize();
    initialized_ = true;
  }
  void RestoreItems() {
    for (auto& item : items_) item->Restore();
  }
  void SetInitialized() { initialized_ = true; }

 private:
  std::vector<std::unique_ptr<Item>> items_;
  std::unique_ptr<Item> null_item_;
  bool initialized_ = false;
};

}  // namespace media
