// The music player over the platform's music device. Positions and lengths
// are in milliseconds.
#include "media/mediaplayer.h"

#include <memory>

#include "media/errors.h"
#include "platform/sequenced_music.h"
#include "platform/services.h"

namespace media {

namespace {
constexpr const char* kNotOpen = "No MCI device open";
constexpr const char* kUnknownError = "Unknown error code";
constexpr int kErrorOpen = 1;
constexpr int kErrorPlay = 2;
}  // namespace

TMediaPlayer::TMediaPlayer() = default;

TMediaPlayer::~TMediaPlayer() { Close(); }

// With no music device installed the player keeps time silently, so the
// program's restart-at-end logic behaves the same without music.
platform::MusicDevice* TMediaPlayer::device() {
  if (Device != nullptr) return Device;
  if (platform::services().music != nullptr) return platform::services().music;
  if (!fallback_) fallback_ = std::make_unique<platform::SilentMusicDevice>(nullptr);
  return fallback_.get();
}

void TMediaPlayer::OpenMedia() {
  if (device_id_ != 0) Close();
  platform::MusicDevice* dev = device();
  std::string error;
  if (!dev->open(FileName, error)) {
    last_error_ = kErrorOpen;
    throw EMCIDeviceError(error.empty() ? kUnknownError : error);
  }
  last_error_ = 0;
  opened_on_ = dev;
  device_id_ = 1;
}

void TMediaPlayer::Close() {
  if (device_id_ == 0) return;
  if (opened_on_ != nullptr) opened_on_->close();
  opened_on_ = nullptr;
  device_id_ = 0;
}

void TMediaPlayer::PlayMedia() {
  if (device_id_ == 0) throw EMCIDeviceError(kNotOpen);
  uint32_t pos = opened_on_->position_ms();
  // A piece that stands at its end starts over.
  if (AutoRewind && pos == opened_on_->length_ms()) pos = 0;
  if (!opened_on_->play(pos)) last_error_ = kErrorPlay;
}

void TMediaPlayer::Stop() {
  if (device_id_ == 0) throw EMCIDeviceError(kNotOpen);
  opened_on_->stop();
}

int32_t TMediaPlayer::MediaPosition() {
  if (device_id_ == 0) return 0;  // a status query on no device answers 0
  return static_cast<int32_t>(opened_on_->position_ms());
}

int32_t TMediaPlayer::MediaLength() {
  if (device_id_ == 0) throw EMCIDeviceError(kNotOpen);
  return static_cast<int32_t>(opened_on_->length_ms());
}

}  // namespace media
