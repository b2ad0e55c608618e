#include "platform/midi.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/services.h"

namespace platform {
namespace midi {

namespace {

// Everything the track reader needs; a failure sets error and stops.
class Reader {
 public:
  Reader(const uint8_t* p, size_t n) : p_(p), n_(n) {}
  bool at_end() const { return i_ >= n_; }
  size_t left() const { return n_ - i_; }
  bool byte(uint8_t& b) {
    if (i_ >= n_) return false;
    b = p_[i_++];
    return true;
  }
  bool peek(uint8_t& b) const {
    if (i_ >= n_) return false;
    b = p_[i_];
    return true;
  }
  bool skip(size_t k) {
    if (k > left()) return false;
    i_ += k;
    return true;
  }
  bool be32(uint32_t& v) {
    if (left() < 4) return false;
    v = (uint32_t(p_[i_]) << 24) | (uint32_t(p_[i_ + 1]) << 16) | (uint32_t(p_[i_ + 2]) << 8) |
        p_[i_ + 3];
    i_ += 4;
    return true;
  }
  bool be16(uint16_t& v) {
    if (left() < 2) return false;
    v = static_cast<uint16_t>((p_[i_] << 8) | p_[i_ + 1]);
    i_ += 2;
    return true;
  }
  // A variable-length quantity: at most four bytes, seven bits each.
  bool vlq(uint32_t& v) {
    v = 0;
    for (int k = 0; k < 4; ++k) {
      uint8_t b;
      if (!byte(b)) return false;
      v = (v << 7) | (b & 0x7F);
      if ((b & 0x80) == 0) return true;
    }
    return false;
  }
  const uint8_t* here() const { return p_ + i_; }

 private:
  const uint8_t* p_;
  size_t n_;
  size_t i_ = 0;
};

struct TickEvent {
  uint64_t tick;
  uint32_t tempo;  // for tempo changes (is_tempo), else unused
  bool is_tempo;
  Event ev;
  uint32_t order;  // position in the file, keeps simultaneous events stable
};

int data_bytes(uint8_t status) {
  switch (status & 0xF0) {
    case 0xC0:
    case 0xD0: return 1;
    default: return 2;
  }
}

bool read_track(Reader& r, uint8_t track_no, std::vector<TickEvent>& out, uint64_t& end_tick,
                std::string& error) {
  const std::string where = "MIDI file is damaged: track " + std::to_string(track_no + 1u) + " ";
  uint64_t tick = 0;
  uint8_t running = 0;
  while (!r.at_end()) {
    uint32_t delta;
    if (!r.vlq(delta)) {
      error = where + "has a bad or cut-off delta time";
      return false;
    }
    tick += delta;
    uint8_t b;
    if (!r.peek(b)) {
      error = where + "ends inside an event";
      return false;
    }
    if (b == 0xFF) {  // meta event
      r.skip(1);
      uint8_t type;
      uint32_t len;
      if (!r.byte(type) || !r.vlq(len) || len > r.left()) {
        error = where + "has a cut-off meta event";
        return false;
      }
      if (type == 0x51 && len >= 3) {
        const uint8_t* d = r.here();
        uint32_t tempo = (uint32_t(d[0]) << 16) | (uint32_t(d[1]) << 8) | d[2];
        if (tempo == 0) tempo = 1;
        out.push_back({tick, tempo, true, {}, static_cast<uint32_t>(out.size())});
      }
      r.skip(len);
      if (type == 0x2F) {  // end of track: anything after it is ignored
        end_tick = std::max(end_tick, tick);
        return true;
      }
      // Running status survives meta and system-exclusive events: files in
      // the wild rely on it, and a strict reader would refuse them.
      continue;
    }
    if (b == 0xF0 || b == 0xF7) {  // system exclusive
      r.skip(1);
      uint32_t len;
      if (!r.vlq(len) || len > r.left()) {
        error = where + "has a cut-off system-exclusive event";
        return false;
      }
      r.skip(len);
      continue;
    }
    uint8_t status;
    if (b & 0x80) {
      if (b > 0xEF) {
        error = where + "has an invalid status byte";
        return false;
      }
      status = b;
      r.skip(1);
      running = status;
    } else {
      if (running == 0) {
        error = where + "has a data byte without a status";
        return false;
      }
      status = running;
    }
    Event e;
    e.status = status;
    e.track = track_no;
    if (!r.byte(e.data1) || (data_bytes(status) == 2 && !r.byte(e.data2))) {
      error = where + "ends inside an event";
      return false;
    }
    if ((e.data1 | e.data2) & 0x80) {
      error = where + "has a data byte above 127";
      return false;
    }
    out.push_back({tick, 0, false, e, static_cast<uint32_t>(out.size())});
    end_tick = std::max(end_tick, tick);
  }
  // A track without an end-of-track event is accepted as far as it goes.
  return true;
}

}  // namespace

bool parse(std::span<const uint8_t> data, Song& song, std::string& error) {
  song = Song{};
  Reader r(data.data(), data.size());
  uint32_t id, len;
  if (!r.be32(id) || id != 0x4D546864 /* MThd */) {
    error = "Not a MIDI file";
    return false;
  }
  uint16_t format, ntracks, division;
  if (!r.be32(len) || len < 6 || !r.be16(format) || !r.be16(ntracks) || !r.be16(division) ||
      !r.skip(len - 6)) {
    error = "MIDI file is damaged: bad header";
    return false;
  }
  if (format > 1) {
    error = "MIDI file format " + std::to_string(format) + " is not supported";
    return false;
  }
  if (ntracks == 0 || (format == 0 && ntracks != 1)) {
    error = "MIDI file is damaged: wrong number of tracks";
    return false;
  }
  if (division == 0 || ((division & 0x8000) && (division & 0xFF) == 0)) {
    error = "MIDI file is damaged: bad time division";
    return false;
  }
  if (ntracks > 255) {
    error = "MIDI file has too many tracks";
    return false;
  }
  std::vector<TickEvent> all;
  uint64_t end_tick = 0;
  unsigned found = 0;
  while (found < ntracks && !r.at_end()) {
    if (!r.be32(id) || !r.be32(len)) {
      error = "MIDI file is damaged: cut-off chunk header";
      return false;
    }
    if (len > r.left()) {
      error = "MIDI file is damaged: chunk longer than the file";
      return false;
    }
    Reader chunk(r.here(), len);
    r.skip(len);
    if (id != 0x4D54726B /* MTrk */) continue;  // unknown chunks are skipped
    std::vector<TickEvent> events;
    if (!read_track(chunk, static_cast<uint8_t>(found), events, end_tick, error)) return false;
    for (auto& e : events) {
      e.order = static_cast<uint32_t>(all.size());
      all.push_back(e);
    }
    ++found;
  }
  if (found < ntracks) {
    error = "MIDI file is damaged: " + std::to_string(ntracks - found) + " track(s) missing";
    return false;
  }
  // Track by track order is kept for equal ticks; tempo changes at a tick
  // take effect for that tick's events either way (time is continuous).
  std::stable_sort(all.begin(), all.end(),
                   [](const TickEvent& a, const TickEvent& b) { return a.tick < b.tick; });

  // Ticks to milliseconds through the tempo map, in double precision (ticks
  // and tempos are bounded, so there is no overflow and no drift).
  double ms_per_tick_at_tempo;  // factor multiplied by the tempo in microseconds
  double fixed_ms_per_tick = 0;
  bool smpte = (division & 0x8000) != 0;
  if (smpte) {
    int fps = -static_cast<int8_t>(division >> 8);
    if (fps <= 0) {
      error = "MIDI file is damaged: bad time division";
      return false;
    }
    double frames = fps == 29 ? 29.97 : fps;
    fixed_ms_per_tick = 1000.0 / (frames * (division & 0xFF));
    ms_per_tick_at_tempo = 0;
  } else {
    ms_per_tick_at_tempo = 1.0 / (1000.0 * division);
  }
  uint32_t tempo = 500000;
  uint64_t last_tick = 0;
  double ms = 0;
  auto advance = [&](uint64_t to) {
    double ticks = static_cast<double>(to - last_tick);
    ms += smpte ? ticks * fixed_ms_per_tick : ticks * tempo * ms_per_tick_at_tempo;
    last_tick = to;
  };
  auto to_ms = [](double v) -> uint32_t {
    if (!(v > 0)) return 0;
    if (v >= 4294967295.0) return 0xFFFFFFFFu;
    return static_cast<uint32_t>(v);
  };
  song.events.reserve(all.size());
  for (const auto& te : all) {
    advance(te.tick);
    if (te.is_tempo) {
      tempo = te.tempo;
      continue;
    }
    Event e = te.ev;
    e.ms = to_ms(ms);
    song.events.push_back(e);
  }
  advance(std::max(end_tick, last_tick));
  song.format = format;
  song.tracks = ntracks;
  song.length_ms = to_ms(ms);
  return true;
}

bool load_file(const std::string& path, Song& song, std::string& error) {
  std::vector<uint8_t> data;
  try {
    data = read_file(path, kMaxFileBytes);
  } catch (const std::exception& e) {
    error = e.what();
    return false;
  }
  return parse(data, song, error);
}

// ---------------------------------------------------------------------------
// Sequencer

uint32_t Sequencer::now() {
  Clock* c = clock_ != nullptr ? clock_ : services().clock;
  return c != nullptr ? c->now_ms() : 0;
}

void Sequencer::load(Song song) {
  song_ = std::move(song);
  loaded_ = true;
  playing_ = false;
  start_pos_ = 0;
  cursor_ = 0;
  reset_ = true;
}

void Sequencer::unload() {
  song_ = Song{};
  loaded_ = false;
  playing_ = false;
  start_pos_ = 0;
  cursor_ = 0;
  reset_ = true;
}

void Sequencer::play(uint32_t from_ms) {
  if (!loaded_) return;
  start_pos_ = std::min(from_ms, song_.length_ms);
  start_clock_ = now();
  playing_ = true;
  cursor_ =
      static_cast<size_t>(std::lower_bound(song_.events.begin(), song_.events.end(), start_pos_,
                                           [](const Event& e, uint32_t t) { return e.ms < t; }) -
                          song_.events.begin());
  reset_ = true;
}

void Sequencer::stop() {
  if (!playing_) return;
  start_pos_ = position_ms();
  playing_ = false;
  reset_ = true;
}

bool Sequencer::playing() {
  position_ms();
  return playing_;
}

uint32_t Sequencer::position_ms() {
  if (!playing_) return start_pos_;
  uint32_t elapsed = now() - start_clock_;  // wraps like the clock
  uint64_t pos = uint64_t(start_pos_) + elapsed;
  if (pos >= song_.length_ms) {
    // The piece has ended: it rests at its end until played again.
    start_pos_ = song_.length_ms;
    playing_ = false;
    return start_pos_;
  }
  return static_cast<uint32_t>(pos);
}

size_t Sequencer::events_until(uint32_t song_ms, const std::function<void(const Event&)>& deliver) {
  size_t n = 0;
  while (cursor_ < song_.events.size() && song_.events[cursor_].ms < song_ms) {
    deliver(song_.events[cursor_++]);
    ++n;
  }
  return n;
}

}  // namespace midi

// ---------------------------------------------------------------------------
// SilentMusicDevice

bool SilentMusicDevice::open(const std::string& path, std::string& error) {
  close();
  midi::Song song;
  if (!midi::load_file(path, song, error)) return false;
  seq_.load(std::move(song));
  path_ = path;
  return true;
}

void SilentMusicDevice::close() {
  seq_.unload();
  path_.clear();
}

bool SilentMusicDevice::play(uint32_t from_ms) {
  if (!seq_.loaded()) return false;
  seq_.play(from_ms);
  return true;
}

void SilentMusicDevice::stop() { seq_.stop(); }

uint32_t SilentMusicDevice::position_ms() { return seq_.position_ms(); }

uint32_t SilentMusicDevice::length_ms() { return seq_.length_ms(); }

}  // namespace platform
