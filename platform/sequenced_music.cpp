#include "platform/sequenced_music.h"

#include <utility>

namespace platform {

bool SequencedMusic::open(const std::string& path, std::string& error) {
  midi::Song song;
  if (!midi::load_file(path, song, error)) {
    // A failed open leaves nothing open: the piece before it does not play
    // on under the new name.
    close();
    return false;
  }
  midi::Song old;
  {
    std::lock_guard lock(mutex_);
    old = seq_.load(std::move(song));
    path_ = path;
  }
  return true;  // the old song's bytes are freed here, without the lock
}

void SequencedMusic::close() {
  std::lock_guard lock(mutex_);
  seq_.unload();
  path_.clear();
}

bool SequencedMusic::is_open() {
  std::lock_guard lock(mutex_);
  return seq_.loaded();
}

bool SequencedMusic::play(uint32_t from_ms) {
  std::lock_guard lock(mutex_);
  if (!seq_.loaded()) return false;
  seq_.play(from_ms);
  return true;
}

void SequencedMusic::stop() {
  std::lock_guard lock(mutex_);
  seq_.stop();
}

uint32_t SequencedMusic::position_ms() {
  std::lock_guard lock(mutex_);
  return seq_.position_ms();
}

uint32_t SequencedMusic::length_ms() {
  std::lock_guard lock(mutex_);
  return seq_.length_ms();
}

bool SequencedMusic::playing() {
  std::lock_guard lock(mutex_);
  return seq_.playing();
}

std::string SequencedMusic::path() {
  std::lock_guard lock(mutex_);
  return path_;
}

size_t SequencedMusic::pump(MidiOutput& out) {
  bool reset = false;
  size_t n = 0;
  {
    std::lock_guard lock(mutex_);
    reset = seq_.take_reset();
    if (seq_.loaded()) {
      const uint32_t now = seq_.position_ms();
      seq_.pull(now, kMaxStepsPerPump, [&](const midi::Event& e) {
        const bool note_on = (e.status & 0xF0) == 0x90 && e.data2 != 0;
        if (note_on && uint64_t(e.ms) + kLateNoteMs < now) return true;  // dropped
        if (n == batch_.size()) return false;                            // waits for the next call
        batch_[n++] = e;
        return true;
      });
    }
  }
  if (reset) out.reset();
  for (size_t i = 0; i < n; ++i) out.send(batch_[i]);
  return n;
}

// ---------------------------------------------------------------------------
// MusicPumpThread

MusicPumpThread::MusicPumpThread(SequencedMusic& music, MidiOutput& out,
                                 std::chrono::milliseconds period, std::function<void()> on_start)
    : music_(music), out_(out), period_(period) {
  thread_ = std::thread([this, f = std::move(on_start)] { run(f); });
}

MusicPumpThread::~MusicPumpThread() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  cv_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void MusicPumpThread::wake() {
  {
    std::lock_guard lock(mutex_);
    woken_ = true;
  }
  cv_.notify_all();
}

void MusicPumpThread::run(const std::function<void()>& on_start) {
  if (on_start) on_start();
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    woken_ = false;
    lock.unlock();
    music_.pump(out_);
    lock.lock();
    cv_.wait_for(lock, period_, [this] { return stopping_ || woken_; });
  }
}

// ---------------------------------------------------------------------------
// The music devices over a synthesiser

void SynthMusic::render_add(float* bus, size_t frames) {
  if (!synth_->ready()) return;
  pump(*synth_);
  synth_->render_add(bus, frames);
}

PumpedMusic::PumpedMusic(Clock* clock, std::unique_ptr<MidiOutput> output,
                         std::chrono::milliseconds period, std::function<void()> on_start)
    : SequencedMusic(clock), output_(std::move(output)) {
  thread_ = std::make_unique<MusicPumpThread>(*this, *output_, period, std::move(on_start));
}

PumpedMusic::~PumpedMusic() {
  thread_.reset();  // no more pumping
  output_->reset();
}

bool PumpedMusic::play(uint32_t from_ms) {
  if (!SequencedMusic::play(from_ms)) return false;
  thread_->wake();
  return true;
}

}  // namespace platform
