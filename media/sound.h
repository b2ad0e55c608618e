#pragma once
// The sound device component and the wave collections played through it.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "media/collection.h"
#include "media/wave.h"
#include "platform/sound_device.h"

namespace media {

class TDXSound;
class TWaveCollection;

class TWaveCollectionItem {
 public:
  explicit TWaveCollectionItem(TWaveCollection* owner) : owner_(owner) {}
  ~TWaveCollectionItem();

  // Stored properties.
  std::string Name;
  bool Looped = false;
  int32_t MaxPlayingCount() const { return max_playing_count_; }
  void SetMaxPlayingCount(int32_t n) { max_playing_count_ = n < 0 ? 0 : n; }
  TWave Wave;

  // Run-time values in the sound platform's units; applied at once when the
  // item is initialised, else only stored.
  int32_t Frequency() const { return frequency_; }
  int32_t Pan() const { return pan_; }
  int32_t Volume() const { return volume_; }
  void SetFrequency(int32_t v);
  void SetPan(int32_t v);
  void SetVolume(int32_t v);

  bool Initialized() const { return initialized_; }
  void PlayWave(bool wait = false);

  // Lifecycle, driven by the collection.
  void Initialize();  // creates the master buffer and fills it
  void Finalize();
  void Restore();

  // Number of duplicate buffers (for tests).
  size_t DuplicateCount() const { return duplicates_.size(); }
  // The master buffer and the duplicates, oldest first (for tests).
  platform::SoundDevice::Buffer MasterBuffer() const { return master_; }
  const std::vector<platform::SoundDevice::Buffer>& Duplicates() const { return duplicates_; }
  // The last failed buffer operation (failures while playing are only recorded).
  platform::BufferResult LastResult() const { return last_result_; }

 private:
  platform::SoundDevice* Device() const;
  bool Check(platform::BufferResult r);
  bool ApplyControls(platform::SoundDevice::Buffer b);
  void WaitUntilStopped(platform::SoundDevice::Buffer b);

  TWaveCollection* owner_;
  int32_t max_playing_count_ = 0;
  int32_t frequency_ = 0;
  int32_t pan_ = 0;
  int32_t volume_ = 0;
  bool initialized_ = false;
  platform::SoundDevice::Buffer master_ = 0;
  std::vector<platform::SoundDevice::Buffer> duplicates_;
  platform::BufferResult last_result_ = platform::BufferResult::Ok;
};

// Count, ItemAt, Add, Clear and Finalize come from TCollection (collection.h).
class TWaveCollection : public TCollection<TWaveCollection, TWaveCollectionItem> {
 public:
  TWaveCollection() = default;
  ~TWaveCollection() { Clear(); }

  TDXSound* DXSound = nullptr;
  // Both do nothing while the sound device is not initialised (the game
  // then runs silent); a wave the device cannot take raises EDXSoundError.
  void Initialize();
  void Restore();

  void LoadFromFile(const std::string& path);
};

enum TSoundOption : uint8_t { soGlobalFocus = 1, soStickyFocus = 2, soExclusive = 4 };

class TDXWaveList;

class TDXSound {
 public:
  TDXSound();
  ~TDXSound();
  bool AutoInitialize = true;
  uint8_t Options = 0;
  bool HasParentForm = true;

  bool Initialized() const { return initialized_; }
  // Starts the device; raises EDXSoundError on failure.
  void Initialize();
  void Finalize();
  // Called at form load: like Initialize, but the "cannot be initialized"
  // failure is swallowed (the game runs silent).
  void Loaded();
  // Restores every attached wave list (after a lost buffer); not re-entered.
  void Restore();

  platform::SoundDevice* Device() const { return device_; }

  void RegisterWaveList(TDXWaveList* l);
  void UnregisterWaveList(TDXWaveList* l);

  std::function<void()> OnInitialize, OnInitializing, OnFinalize, OnRestore;

 private:
  platform::SoundDevice* device_ = nullptr;
  bool initialized_ = false;
  bool in_restore_ = false;
  std::vector<TDXWaveList*> lists_;
};

class TDXWaveList {
 public:
  TDXWaveList() = default;
  ~TDXWaveList();
  void SetDXSound(TDXSound* sound);
  // Called by a sound device that goes away before its lists.
  void DetachSound();
  TWaveCollection Items;
};

}  // namespace media
