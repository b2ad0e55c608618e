#include "platform/win32/music.h"

// clang-format off
// windows.h first: the other system headers need its types.
#include <windows.h>
#include <mmsystem.h>
// clang-format on

#include <chrono>

namespace platform::win32 {

namespace {

// How often the thread looks for events that fell due: well inside what an
// ear notices, and cheap.
constexpr auto kPumpPeriod = std::chrono::milliseconds(2);

}  // namespace

std::unique_ptr<MidiOutMusic> MidiOutMusic::create(Clock* clock, std::string& error) {
  if (midiOutGetNumDevs() == 0) {
    error = "no MIDI output device";
    return nullptr;
  }
  HMIDIOUT out = nullptr;
  const MMRESULT r = midiOutOpen(&out, MIDI_MAPPER, 0, 0, CALLBACK_NULL);
  if (r != MMSYSERR_NOERROR) {
    char text[MAXERRORLENGTH] = "";
    midiOutGetErrorTextA(r, text, MAXERRORLENGTH);
    error = text;
    return nullptr;
  }
  return std::unique_ptr<MidiOutMusic>(new MidiOutMusic(clock, out));
}

MidiOutMusic::MidiOutMusic(Clock* clock, void* device) : seq_(clock), device_(device) {
  thread_ = std::thread([this] { run(); });
}

MidiOutMusic::~MidiOutMusic() {
  {
    std::lock_guard lock(mutex_);
    stop_thread_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  silence();
  midiOutClose(static_cast<HMIDIOUT>(device_));
}

void MidiOutMusic::send(uint32_t message) {
  midiOutShortMsg(static_cast<HMIDIOUT>(device_), message);
  ++sent_;
}

void MidiOutMusic::silence() {
  // Every channel: all sound off, reset controllers, all notes off.
  for (uint32_t ch = 0; ch < 16; ++ch) {
    send(0xB0 | ch | (120u << 8));
    send(0xB0 | ch | (121u << 8));
    send(0xB0 | ch | (123u << 8));
  }
}

void MidiOutMusic::run() {
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL);
  std::unique_lock lock(mutex_);
  while (!stop_thread_) {
    // A jump or a stop silences what was sounding first.
    if (seq_.take_reset()) silence();
    if (seq_.loaded()) {
      const uint32_t now = seq_.position_ms();
      seq_.events_until(now + 1, [&](const midi::Event& e) {
        send(uint32_t(e.status) | (uint32_t(e.data1) << 8) | (uint32_t(e.data2) << 16));
      });
    }
    wake_.wait_for(lock, kPumpPeriod);
  }
}

bool MidiOutMusic::open(const std::string& path, std::string& error) {
  midi::Song song;
  if (!midi::load_file(path, song, error)) return false;
  std::lock_guard lock(mutex_);
  seq_.load(std::move(song));
  return true;
}

void MidiOutMusic::close() {
  std::lock_guard lock(mutex_);
  seq_.unload();
}

bool MidiOutMusic::is_open() {
  std::lock_guard lock(mutex_);
  return seq_.loaded();
}

bool MidiOutMusic::play(uint32_t from_ms) {
  {
    std::lock_guard lock(mutex_);
    if (!seq_.loaded()) return false;
    seq_.play(from_ms);
  }
  wake_.notify_all();
  return true;
}

void MidiOutMusic::stop() {
  std::lock_guard lock(mutex_);
  seq_.stop();
}

uint32_t MidiOutMusic::position_ms() {
  std::lock_guard lock(mutex_);
  return seq_.position_ms();
}

uint32_t MidiOutMusic::length_ms() {
  std::lock_guard lock(mutex_);
  return seq_.length_ms();
}

}  // namespace platform::win32
