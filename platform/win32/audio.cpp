#include "platform/win32/audio.h"

// clang-format off
// windows.h first: the other system headers need its types.
#include <windows.h>
#include <mmsystem.h>
// clang-format on

#include <vector>

#include "platform/winapi/utf16.h"

namespace platform::win32 {

bool WaveOutAudio::open(uint32_t rate, Pull pull, std::string& error) {
  close();
  if (waveOutGetNumDevs() == 0) {
    error = "no wave output device";
    return false;
  }
  wake_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  WAVEFORMATEX fmt{};
  fmt.wFormatTag = WAVE_FORMAT_PCM;
  fmt.nChannels = 2;
  fmt.nSamplesPerSec = rate;
  fmt.wBitsPerSample = 16;
  fmt.nBlockAlign = 4;
  fmt.nAvgBytesPerSec = rate * 4;
  HWAVEOUT out = nullptr;
  MMRESULT r = MMSYSERR_NOMEM;
  if (wake_)
    r = waveOutOpen(&out, WAVE_MAPPER, &fmt, reinterpret_cast<DWORD_PTR>(wake_), 0, CALLBACK_EVENT);
  if (r != MMSYSERR_NOERROR) {
    wchar_t text[MAXERRORLENGTH] = L"";
    waveOutGetErrorTextW(r, text, MAXERRORLENGTH);
    error = utf8(text);
    close();
    return false;
  }
  device_ = out;
  pull_ = std::move(pull);
  stop_ = false;
  thread_ = std::thread([this] { run(); });
  return true;
}

void WaveOutAudio::run() {
  // The mixer's deadline is the device's: the thread must not be late.
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
  std::vector<int16_t> samples(kBlocks * kBlockFrames * 2);
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
      pull_(reinterpret_cast<int16_t*>(h.lpData), kBlockFrames);
      waveOutWrite(out, &h, sizeof h);
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
  pull_ = nullptr;
}

}  // namespace platform::win32
