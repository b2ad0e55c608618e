// The sound device component and the wave collections played through it.
#include "media/sound.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "media/errors.h"
#include "platform/clock.h"
#include "platform/services.h"

namespace media {

namespace {

platform::PcmFormat FormatOf(const TWave& w) {
  platform::PcmFormat f;
  f.channels = w.Channels();
  f.samples_per_sec = w.SamplesPerSec();
  f.bits_per_sample = w.BitsPerSample();
  if (w.FormatTag() != 1) f.channels = 0;  // only plain PCM: the device refuses the rest
  return f;
}

}  // namespace

// ---------------------------------------------------------------------------
// TWaveCollectionItem

TWaveCollectionItem::~TWaveCollectionItem() { Finalize(); }

platform::SoundDevice* TWaveCollectionItem::Device() const {
  if (owner_ == nullptr || owner_->DXSound == nullptr) return nullptr;
  return owner_->DXSound->Device();
}

// A lost buffer makes the sound device restore every list; other failures are
// only recorded so the frame goes on.
// Returns false when the buffers were lost (and have been made anew), so the
// caller must not go on with the handles it holds.
bool TWaveCollectionItem::Check(platform::BufferResult r) {
  if (r == platform::BufferResult::Ok) return true;
  last_result_ = r;
  if (r != platform::BufferResult::Lost) return true;
  if (owner_ != nullptr && owner_->DXSound != nullptr) owner_->DXSound->Restore();
  return false;
}

void TWaveCollectionItem::SetFrequency(int32_t v) {
  frequency_ = v;
  if (initialized_ && master_ != 0)
    Check(Device()->set_frequency(master_, static_cast<uint32_t>(std::max(v, 0))));
}

void TWaveCollectionItem::SetPan(int32_t v) {
  pan_ = v;
  if (initialized_ && master_ != 0) Check(Device()->set_pan(master_, v));
}

void TWaveCollectionItem::SetVolume(int32_t v) {
  volume_ = v;
  if (initialized_ && master_ != 0) Check(Device()->set_volume(master_, v));
}

bool TWaveCollectionItem::ApplyControls(platform::SoundDevice::Buffer b) {
  platform::SoundDevice* dev = Device();
  return Check(dev->set_frequency(b, static_cast<uint32_t>(std::max(frequency_, 0)))) &&
         Check(dev->set_pan(b, pan_)) && Check(dev->set_volume(b, volume_));
}

void TWaveCollectionItem::Initialize() {
  Finalize();
  platform::SoundDevice* dev = Device();
  if (dev == nullptr || Wave.Empty()) return;
  const auto& data = Wave.Data();
  master_ = dev->create_buffer(FormatOf(Wave), static_cast<uint32_t>(data.size()));
  if (master_ == 0) throw EDXSoundError(FormatMessage("%s cannot be made", "Sound Buffer"));
  if (dev->write(master_, 0, std::span<const uint8_t>(data.data(), data.size())) !=
      platform::BufferResult::Ok) {
    dev->release(master_);
    master_ = 0;
    throw EDXSoundError(FormatMessage("%s cannot be locked", "Sound Buffer"));
  }
  initialized_ = true;
  ApplyControls(master_);
}

void TWaveCollectionItem::Finalize() {
  platform::SoundDevice* dev = Device();
  if (dev != nullptr) {
    for (auto b : duplicates_) dev->release(b);
    if (master_ != 0) dev->release(master_);
  }
  duplicates_.clear();
  master_ = 0;
  initialized_ = false;
}

void TWaveCollectionItem::Restore() { Initialize(); }

void TWaveCollectionItem::PlayWave(bool wait) {
  if (!initialized_ || master_ == 0) return;
  platform::SoundDevice* dev = Device();
  if (dev == nullptr) return;
  platform::SoundDevice::Buffer b = 0;
  if (Looped) {
    b = master_;
    // A lost buffer is restored by the first failing call; this play is dropped.
    if (!Check(dev->stop(b)) || !Check(dev->set_position(b, 0)) || !Check(dev->play(b, true)))
      return;
  } else {
    for (auto d : duplicates_) {
      platform::BufferStatus s = dev->status(d);
      if (!s.playing && !s.looping) {
        b = d;
        break;
      }
    }
    if (b == 0) {
      if (max_playing_count_ == 0 ||
          static_cast<int32_t>(duplicates_.size()) < max_playing_count_) {
        b = dev->duplicate(master_);
        if (b == 0) {
          last_result_ = platform::BufferResult::Failed;
          return;
        }
        duplicates_.push_back(b);
      } else {
        // The limit is reached: the oldest copy starts over and becomes the newest.
        b = duplicates_.front();
        duplicates_.erase(duplicates_.begin());
        duplicates_.push_back(b);
      }
    }
    if (!Check(dev->stop(b)) || !Check(dev->set_position(b, 0)) || !ApplyControls(b) ||
        !Check(dev->play(b, false)))
      return;
  }
  if (wait) WaitUntilStopped(b);
}

// Polls every 10 ms until the buffer stops. A looping buffer never stops, and
// a device that is not being drained (no audio output running) would keep a
// one-shot playing forever, so the wait ends after the sound's own length.
void TWaveCollectionItem::WaitUntilStopped(platform::SoundDevice::Buffer b) {
  if (Looped) return;
  platform::Clock* clock = platform::services().clock;
  uint32_t rate = frequency_ > 0 ? static_cast<uint32_t>(frequency_) : Wave.SamplesPerSec();
  uint32_t frame_bytes = Wave.Channels() * (Wave.BitsPerSample() / 8u);
  uint64_t length_ms =
      rate == 0 || frame_bytes == 0 ? 0 : uint64_t(Wave.Data().size()) / frame_bytes * 1000 / rate;
  uint64_t waited = 0;
  while (initialized_ && waited <= length_ms + 100) {
    platform::SoundDevice* d = Device();
    if (d == nullptr || !d->status(b).playing) return;
    if (clock != nullptr)
      clock->sleep_ms(10);
    else
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    waited += 10;
  }
}

// ---------------------------------------------------------------------------
// TWaveCollection

void TWaveCollection::Initialize() {
  Finalize();
  if (DXSound == nullptr || !DXSound->Initialized()) return;
  InitializeItems();
}

void TWaveCollection::Restore() {
  if (DXSound == nullptr || !DXSound->Initialized()) return;
  RestoreItems();
  SetInitialized();
}

// ---------------------------------------------------------------------------
// TDXSound

TDXSound::TDXSound() = default;

TDXSound::~TDXSound() {
  Finalize();
  for (auto* l : lists_) l->DetachSound();
}

void TDXSound::Initialize() {
  Finalize();
  if (!HasParentForm) throw EDXSoundError("Form not found");
  if (OnInitializing) OnInitializing();
  platform::SoundDevice* dev = platform::services().sound;
  if (dev == nullptr) throw EDXSoundError(FormatMessage("%s cannot be initialized", "DirectSound"));
  device_ = dev;
  initialized_ = true;
  if (OnInitialize) OnInitialize();
  for (auto* l : lists_) l->Items.Initialize();
}

void TDXSound::Finalize() {
  if (!initialized_) return;
  if (OnFinalize) OnFinalize();
  for (auto* l : lists_) l->Items.Finalize();
  device_ = nullptr;
  initialized_ = false;
}

void TDXSound::Loaded() {
  if (!AutoInitialize) return;
  try {
    Initialize();
  } catch (const EDXSoundError& e) {
    // No sound device: the program runs silent, every play does nothing.
    if (std::string(e.what()) != FormatMessage("%s cannot be initialized", "DirectSound")) throw;
  }
}

void TDXSound::Restore() {
  if (!initialized_ || in_restore_) return;
  in_restore_ = true;
  try {
    for (auto* l : lists_) l->Items.Restore();
  } catch (...) {
    in_restore_ = false;
    throw;
  }
  in_restore_ = false;
  if (OnRestore) OnRestore();
}

void TDXSound::RegisterWaveList(TDXWaveList* l) {
  if (std::find(lists_.begin(), lists_.end(), l) == lists_.end()) lists_.push_back(l);
}

void TDXSound::UnregisterWaveList(TDXWaveList* l) {
  lists_.erase(std::remove(lists_.begin(), lists_.end(), l), lists_.end());
}

// ---------------------------------------------------------------------------
// TDXWaveList

TDXWaveList::~TDXWaveList() {
  Items.Finalize();
  if (Items.DXSound != nullptr) Items.DXSound->UnregisterWaveList(this);
}

void TDXWaveList::SetDXSound(TDXSound* sound) {
  if (Items.DXSound == sound) return;
  Items.Finalize();
  if (Items.DXSound != nullptr) Items.DXSound->UnregisterWaveList(this);
  Items.DXSound = sound;
  if (sound != nullptr) {
    sound->RegisterWaveList(this);
    if (sound->Initialized()) Items.Initialize();
  }
}

void TDXWaveList::DetachSound() {
  Items.Finalize();
  Items.DXSound = nullptr;
}

}  // namespace media
