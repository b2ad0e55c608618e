#pragma once
// Music in the browser. The MIDI file keeps the piece's time exactly as on
// the other backends (our sequencer: play, position, length, the end of the
// piece); what is heard is the same piece rendered ahead of time by the
// build, with the synthesiser and soundfont the Linux game plays it with,
// and decoded by the page. A piece is found by its file's name ("menu.mid"
// is the rendered piece "menu"). Until its samples are there (or where
// there are none) the piece keeps time silently.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/music_device.h"
#include "platform/sequenced_music.h"

namespace platform::web {

class RenderedMusic : public MusicDevice {
 public:
  // Where the rendered pieces are: interleaved stereo at the mixer's rate.
  class Source {
   public:
    virtual ~Source() = default;
    // The piece of that name, or -1 when there is none.
    virtual int piece(std::string_view name) = 0;
    // Frames of the piece decoded so far (0 while it is still on its way).
    virtual uint64_t frames(int piece) = 0;
    // Adds frames of the piece from frame `from` into bus (1.0 = full
    // scale); from + count lies within frames(piece).
    virtual void add(int piece, uint64_t from, float* bus, size_t count) = 0;
  };

  RenderedMusic(Clock* clock, Source* source, uint32_t rate)
      : time_(clock), source_(source), rate_(rate) {}

  bool open(const std::string& path, std::string& error) override;
  void close() override;
  bool is_open() override { return time_.is_open(); }
  bool play(uint32_t from_ms) override;
  void stop() override { time_.stop(); }
  uint32_t position_ms() override { return time_.position_ms(); }
  uint32_t length_ms() override { return time_.length_ms(); }

  // Adds the next frames of the piece into the mixer's bus (interleaved
  // stereo), following the sequencer's time: a jump of the piece, or output
  // that started late (browsers start sound only after a key or click),
  // joins the piece where its time is.
  void render_add(float* bus, size_t frames);

  // The rendered piece's name for a music file's path: its file name without
  // the extension, in lower case.
  static std::string piece_name(std::string_view path);
  // Output further than this from the piece's time is moved to it.
  static constexpr uint32_t kDriftMs = 50;

 private:
  SilentMusicDevice time_;
  Source* source_;
  uint32_t rate_;
  int piece_ = -1;
  uint64_t cursor_ = 0;  // next frame to add
  bool synced_ = false;
};

}  // namespace platform::web
