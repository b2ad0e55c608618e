#include "platform/win32/audio.h"

// clang-format off
// windows.h first: the other system headers need its types.
#include <windows.h>
#include <mmsystem.h>
// clang-format on

#include <chrono>
#include <vector>

#include "platform/win32/utf16.h"

namespace platform::win32 {

bool WaveOutAudio::open(Mixer* mixer, std::string& error) {
  close();
  mixer_ = mixer;
  stop_ = false;
  wake_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  WAVEFORMATEX fmt{};
  fmt.wFormatTag = WAVE_FORMAT_PCM;
  fmt.nChannels = 2;
  fmt.nSamplesPerSec = kRate;
  fmt.wBitsPerSample = 16;
  fmt.nBlockAlign = 4;
  fmt.nAvgBytesPerSec = kRate * 4;
  HWAVEOUT out = nullptr;
  MMRESULT r = MMSYSERR_NODRIVER;
  if (waveOutGetNumDevs() > 0 && wake_)
    r = waveOutOpen(&out, WAVE_MAPPER, &fmt, reinterpret_cast<DWORD_PTR>(wake_), 0, CALLBACK_EVENT);
  if (r == MMSYSERR_NOERROR) {
    device_ = out;
  } else {
    wchar_t text[MAXERRORLENGTH] = L"";
    waveOutGetErrorTextW(r, text, MAXERRORLENGTH);
    error = waveOutGetNumDevs() == 0 ? "no wave output device" : utf8(text);
  }
  thread_ = std::thread([this] { run(); });
  return device_ != nullptr;
}

void WaveOutAudio::run() {
  // The mixer's deadline is the device's: the thread must not be late.
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
  std::vector<int16_t> samples(kBlocks * kBlockFrames * 2);
  if (!device_) {
    const auto period = std::chrono::microseconds(int64_t(kBlockFrames) * 1000000 / kRate);
    auto next = std::chrono::steady_clock::now();
    while (!stop_.load()) {
      mixer_->mix(samples.data(), kBlockFrames);
      blocks_.fetch_add(1);
      next += period;
      std::this_thread::sleep_until(next);
    }
    return;
  }
  HWAVEOUT out = static_cast<HWAVEOUT>(device_);
  std::vector<WAVEHDR> headers(kBlocks);
  for (size_t i = 0; i < kBlocks; ++i) {
    WAVEHDR& h = headers[i];
    h.lpData = reinterpret_cast<LPSTR>(samples.data() + i * kBlockFrames * 2);
    h.dwBufferLength = DWORD(kBlockFrames * 4);
    waveOutPrepareHeader(out, &h, sizeof h);
    h.dwFlags |= WHDR_DONE;  // free to fill
  }
  while (!stop_.load()) {
    for (WAVEHDR& h : headers) {
      if (!(h.dwFlags & WHDR_DONE)) continue;
      h.dwFlags &= ~DWORD(WHDR_DONE);
      mixer_->mix(reinterpret_cast<int16_t*>(h.lpData), kBlockFrames);
      waveOutWrite(out, &h, sizeof h);
      blocks_.fetch_add(1);
    }
    WaitForSingleObject(static_cast<HANDLE>(wake_), 50);
  }
  waveOutReset(out);
  for (WAVEHDR& h : headers) waveOutUnprepareHeader(out, &h, sizeof h);
}

void WaveOutAudio::close() {
  if (thread_.joinable()) {
    stop_ = true;
    if (wake_) SetEvent(static_cast<HANDLE>(wake_));
    thread_.join();
  }
  if (device_) waveOutClose(static_cast<HWAVEOUT>(device_));
  device_ = nullptr;
  if (wake_) CloseHandle(static_cast<HANDLE>(wake_));
  wake_ = nullptr;
  mixer_ = nullptr;
}

}  // namespace platform::win32
