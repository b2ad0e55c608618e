#pragma once
// The music device of every backend: our MIDI sequencer keeps the song's time
// on the game thread's calls, and whoever drives the backend's synthesiser
// (an audio callback that renders it, or a thread of its own that feeds a
// system synthesiser) calls pump() to hand it the events that fall due.
//
// One mutex guards the sequencer. The game thread takes it for a few
// bookkeeping steps per call; pump() takes it only to pick the due events,
// a bounded number of them, and feeds the synthesiser without it. So a file
// with a million notes at one instant costs the game thread nothing, and the
// synthesiser a bounded amount of work per call.
//
// A backend implements MidiOutput for its synthesiser and makes the music
// device of it: SynthMusic for a software synthesiser that renders into the
// sound output (SDL's FluidSynth), PumpedMusic for one that plays by itself
// (Windows' midiOut). Without a synthesiser it installs no music device: the
// music player then keeps the pieces' time itself.
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/midi.h"
#include "platform/music_device.h"

namespace platform {

class Clock;

// A synthesiser as the music device sees it.
class MidiOutput {
 public:
  virtual ~MidiOutput() = default;
  // Silences every voice and sets the controllers back to their start: a
  // jump, a stop or another piece must not leave notes hanging.
  virtual void reset() = 0;
  virtual void send(const midi::Event& e) = 0;
};

class SequencedMusic : public MusicDevice {
 public:
  // The most events one pump() sends to the synthesiser.
  static constexpr size_t kMaxEventsPerPump = 256;
  // The most items of the file one pump() reads (events sent, late notes
  // dropped, events before a play's start passed over, metas and
  // system-exclusive events skipped).
  static constexpr size_t kMaxStepsPerPump = 16384;
  // Note-ons that are this late when they can first be sent (the
  // synthesiser was still loading, or a crowd of events came before them)
  // are dropped rather than played in a burst.
  static constexpr uint32_t kLateNoteMs = 100;

  // The song's time comes from clock (null: the installed services' clock).
  explicit SequencedMusic(Clock* clock) : seq_(clock) {}

  // The file is read and checked before the lock is taken.
  bool open(const std::string& path, std::string& error) override;
  void close() override;
  bool is_open() override;
  bool play(uint32_t from_ms) override;
  void stop() override;
  uint32_t position_ms() override;
  uint32_t length_ms() override;
  // Whether the piece is playing (it stops by itself at its end).
  bool playing();

  // Sends the events that are due to out, with a reset first when the song
  // jumped, stopped or changed since the last call. One thread at a time.
  // Returns the events sent.
  size_t pump(MidiOutput& out);

  // The file opened last (for tests).
  std::string path();

 private:
  std::mutex mutex_;
  midi::Sequencer seq_;
  std::string path_;
  // pump()'s own: the events picked under the lock, sent after it.
  std::array<midi::Event, kMaxEventsPerPump> batch_{};
};

// A music device that keeps time and plays nothing: the headless backend's,
// and the time of the browser's pieces.
class SilentMusicDevice : public SequencedMusic {
 public:
  using SequencedMusic::SequencedMusic;
};

// A synthesiser that renders into the sound output's music bus.
class SoftSynth : public MidiOutput {
 public:
  // False while it cannot play yet (its soundfont still loading): nothing is
  // sent or rendered meanwhile, and the notes that fell due are late once it
  // is ready (see SequencedMusic::kLateNoteMs).
  virtual bool ready() const { return true; }
  // Adds frames of its sound into bus (interleaved stereo, 1.0 = full
  // scale). Allocates nothing.
  virtual void render_add(float* bus, size_t frames) = 0;
};

// The music device over a software synthesiser: the sound output calls
// render_add() on its thread before each block it mixes.
class SynthMusic : public SequencedMusic {
 public:
  SynthMusic(Clock* clock, std::unique_ptr<SoftSynth> synth)
      : SequencedMusic(clock), synth_(std::move(synth)) {}
  // Hands the synthesiser the events that are due (a bounded number per
  // call) and adds its rendered block into bus.
  void render_add(float* bus, size_t frames);
  bool ready() const { return synth_->ready(); }

 private:
  std::unique_ptr<SoftSynth> synth_;
};

// Calls pump() from a thread of its own, every period and when woken: for a
// synthesiser that no audio callback renders (a system MIDI device).
class MusicPumpThread {
 public:
  // on_start runs first on the new thread (to set its priority, say).
  MusicPumpThread(SequencedMusic& music, MidiOutput& out, std::chrono::milliseconds period,
                  std::function<void()> on_start = {});
  ~MusicPumpThread();
  MusicPumpThread(const MusicPumpThread&) = delete;
  MusicPumpThread& operator=(const MusicPumpThread&) = delete;
  // Pumps at once (after a play, so the first notes are not late).
  void wake();

 private:
  void run(const std::function<void()>& on_start);
  SequencedMusic& music_;
  MidiOutput& out_;
  const std::chrono::milliseconds period_;
  std::mutex mutex_;
  std::condition_variable cv_;
  bool woken_ = false;
  bool stopping_ = false;
  std::thread thread_;
};

// The music device over a synthesiser that plays by itself (a system MIDI
// device): a thread of its own sends the events that fall due, every period
// and at once after a play, so the first notes are not late.
class PumpedMusic : public SequencedMusic {
 public:
  // on_start runs first on the thread (to set its priority, say).
  PumpedMusic(Clock* clock, std::unique_ptr<MidiOutput> output, std::chrono::milliseconds period,
              std::function<void()> on_start = {});
  // Stops the thread, then silences the synthesiser.
  ~PumpedMusic() override;
  bool play(uint32_t from_ms) override;

 protected:
  MidiOutput& output() { return *output_; }

 private:
  std::unique_ptr<MidiOutput> output_;
  std::unique_ptr<MusicPumpThread> thread_;
};

}  // namespace platform
