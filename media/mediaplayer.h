#pragma once
// The music player over the platform's music device.
#include <cstdint>
#include <memory>
#include <string>

namespace platform {
class MusicDevice;
}

namespace media {

class TMediaPlayer {
 public:
  TMediaPlayer();
  ~TMediaPlayer();

  std::string FileName;  // UTF-8 path
  bool AutoRewind = true;
  bool AutoOpen = false;
  bool Shareable = false;
  bool Visible = false;

  // Closes any open piece, then opens FileName; raises EMCIDeviceError with
  // the device's error text ("Unknown error code" when it has none).
  void OpenMedia();
  void Close();
  // Raises "No MCI device open" when closed.
  void PlayMedia();
  void Stop();
  int32_t MediaPosition();  // does not check that a device is open
  int32_t MediaLength();    // raises "No MCI device open" when closed
  bool IsOpen() const { return device_id_ != 0; }
  int LastError() const { return last_error_; }

  // The device (from the platform services unless set).
  platform::MusicDevice* Device = nullptr;

 private:
  platform::MusicDevice* device();
  platform::MusicDevice* opened_on_ = nullptr;
  std::unique_ptr<platform::MusicDevice> fallback_;
  int device_id_ = 0;
  int last_error_ = 0;
};

}  // namespace media
