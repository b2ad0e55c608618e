#include "platform/midi.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/services.h"

namespace platform {
namespace midi {

namespace {

uint32_t be32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

uint16_t be16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

// A variable-length quantity: at most four bytes, seven bits each.
bool vlq(const uint8_t*& p, const uint8_t* end, uint32_t& v) {
  v = 0;
  for (int k = 0; k < 4; ++k) {
    if (p == end) return false;
    const uint8_t b = *p++;
    v = (v << 7) | (b & 0x7F);
    if ((b & 0x80) == 0) return true;
  }
  return false;
}

int data_bytes(uint8_t status) {
  switch (status & 0xF0) {
    case 0xC0:
    case 0xD0: return 1;
    default: return 2;
  }
}

// One item of a track as it is read: what the player needs of it.
enum Item : uint8_t {
  Channel,    // a channel message
  Tempo,      // a tempo change
  Other,      // a meta or system-exclusive event the player passes over
  End,        // the end-of-track event
  Exhausted,  // no more bytes (a track need not have an end-of-track event)
  Error,
};

// The reasons a track is refused (after "track N ").
enum class Fault : uint8_t {
  Delta,
  Cut,
  Meta,
  SysEx,
  Status,
  NoStatus,
  DataHigh,
};

const char* fault_text(Fault f) {
  switch (f) {
    case Fault::Delta: return "has a bad or cut-off delta time";
    case Fault::Cut: return "ends inside an event";
    case Fault::Meta: return "has a cut-off meta event";
    case Fault::SysEx: return "has a cut-off system-exclusive event";
    case Fault::Status: return "has an invalid status byte";
    case Fault::NoStatus: return "has a data byte without a status";
    case Fault::DataHigh: return "has a data byte above 127";
  }
  return "is damaged";
}

// Reads one item of a track at f.p, moving f.p past it and f.tick by its
// delta; a refused item sets fault. A track without an end-of-track event
// ends where its bytes do; anything after the end-of-track event is ignored.
Item read_item(TrackReader& f, Fault& fault) {
  const uint8_t*& p = f.p;
  const uint8_t* const end = f.end;
  uint8_t& running = f.running;
  if (p == end) return Exhausted;
  uint32_t delta;
  if (!vlq(p, end, delta)) {
    fault = Fault::Delta;
    return Error;
  }
  f.tick += delta;
  if (p == end) {
    fault = Fault::Cut;
    return Error;
  }
  const uint8_t b = *p;
  if (b == 0xFF) {  // meta event
    ++p;
    uint32_t len;
    if (p == end) {
      fault = Fault::Meta;
      return Error;
    }
    const uint8_t type = *p++;
    if (!vlq(p, end, len) || len > size_t(end - p)) {
      fault = Fault::Meta;
      return Error;
    }
    const uint8_t* d = p;
    p += len;
    if (type == 0x2F) return End;
    if (type == 0x51 && len >= 3) {
      const uint32_t tempo = (uint32_t(d[0]) << 16) | (uint32_t(d[1]) << 8) | d[2];
      f.tempo = tempo == 0 ? 1 : tempo;
      return Tempo;
    }
    // Running status survives meta and system-exclusive events: files in
    // the wild rely on it, and a strict reader would refuse them.
    return Other;
  }
  if (b == 0xF0 || b == 0xF7) {  // system exclusive
    ++p;
    uint32_t len;
    if (!vlq(p, end, len) || len > size_t(end - p)) {
      fault = Fault::SysEx;
      return Error;
    }
    p += len;
    return Other;
  }
  uint8_t status;
  if (b & 0x80) {
    if (b > 0xEF) {
      fault = Fault::Status;
      return Error;
    }
    status = b;
    ++p;
    running = status;
  } else {
    if (running == 0) {
      fault = Fault::NoStatus;
      return Error;
    }
    status = running;
  }
  const int n = data_bytes(status);
  if (size_t(end - p) < size_t(n)) {
    fault = Fault::Cut;
    return Error;
  }
  f.status = status;
  f.data1 = p[0];
  f.data2 = n == 2 ? p[1] : 0;
  p += n;
  if ((f.data1 | f.data2) & 0x80) {
    fault = Fault::DataHigh;
    return Error;
  }
  return Channel;
}

uint32_t to_ms(double v) {
  if (!(v > 0)) return 0;
  if (v >= 4294967295.0) return 0xFFFFFFFFu;
  return static_cast<uint32_t>(v);
}

}  // namespace

// ---------------------------------------------------------------------------
// Reading a file

bool parse(std::vector<uint8_t> image, Song& song, std::string& error) {
  song = Song{};
  const uint8_t* const base = image.data();
  const uint8_t* const end = base + image.size();
  const uint8_t* p = base;
  auto left = [&] { return size_t(end - p); };
  if (left() < 4 || be32(p) != 0x4D546864 /* MThd */) {
    error = "Not a MIDI file";
    return false;
  }
  p += 4;
  if (left() < 4 || be32(p) < 6 || left() - 4 < 6 || be32(p) - 6 > left() - 10) {
    error = "MIDI file is damaged: bad header";
    return false;
  }
  const uint32_t header_len = be32(p);
  const uint16_t format = be16(p + 4), ntracks = be16(p + 6), division = be16(p + 8);
  p += 4 + header_len;
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

  // Every track is read through once here, so a damaged file is refused when
  // it is opened, and the length is known before it plays.
  uint64_t end_tick = 0;
  uint64_t last_tempo_tick = 0;
  unsigned found = 0;
  while (found < ntracks && p != end) {
    if (left() < 8) {
      error = "MIDI file is damaged: cut-off chunk header";
      return false;
    }
    const uint32_t id = be32(p), len = be32(p + 4);
    p += 8;
    if (len > left()) {
      error = "MIDI file is damaged: chunk longer than the file";
      return false;
    }
    const uint8_t* const chunk = p;
    p += len;
    if (id != 0x4D54726B /* MTrk */) continue;  // unknown chunks are skipped
    Song::Span span{size_t(chunk - base), len, false};
    TrackReader f;
    f.p = chunk;
    f.end = p;
    for (;;) {
      Fault fault = Fault::Cut;
      const Item item = read_item(f, fault);
      if (item == Error) {
        error =
            "MIDI file is damaged: track " + std::to_string(found + 1u) + " " + fault_text(fault);
        return false;
      }
      if (item == Channel) {
        ++song.event_count;
        end_tick = std::max(end_tick, f.tick);
      } else if (item == Tempo) {
        span.has_tempo = true;
        last_tempo_tick = std::max(last_tempo_tick, f.tick);
      } else if (item == End) {
        end_tick = std::max(end_tick, f.tick);
        break;
      } else if (item == Exhausted) {
        break;
      }
    }
    song.track_spans.push_back(span);
    ++found;
  }
  if (found < ntracks) {
    error = "MIDI file is damaged: " + std::to_string(ntracks - found) + " track(s) missing";
    return false;
  }
  if ((division & 0x8000) && -static_cast<int8_t>(division >> 8) <= 0) {
    error = "MIDI file is damaged: bad time division";
    return false;
  }
  song.format = format;
  song.tracks = ntracks;
  song.division = division;
  song.image = std::move(image);

  // The length: the time of the last event, which only the tempo changes
  // decide. The tracks that hold one are walked together once more.
  Cursor tempo_map;
  tempo_map.reset(&song, true);
  size_t steps = 0;
  while (!tempo_map.at_end()) tempo_map.peek(steps, std::numeric_limits<size_t>::max());
  song.length_ms = to_ms(tempo_map.ms_at(std::max(end_tick, last_tempo_tick)));
  return true;
}

bool parse(std::span<const uint8_t> data, Song& song, std::string& error) {
  return parse(std::vector<uint8_t>(data.begin(), data.end()), song, error);
}

bool load_file(const std::string& path, Song& song, std::string& error) {
  std::vector<uint8_t> data;
  try {
    data = read_file(path, kMaxFileBytes);
  } catch (const std::exception& e) {
    error = e.what();
    return false;
  }
  return parse(std::move(data), song, error);
}

// ---------------------------------------------------------------------------
// Cursor

bool Cursor::advance(TrackReader& t) {
  Fault fault;
  t.item = read_item(t, fault);
  // A track the reader refused was refused when the file was opened; here
  // it simply ends.
  return t.item == Channel || t.item == Tempo || t.item == Other;
}

bool Cursor::before(uint8_t a, uint8_t b) const {
  const uint64_t ta = tracks_[a].tick, tb = tracks_[b].tick;
  return ta < tb || (ta == tb && a < b);
}

void Cursor::sift_down(size_t i) {
  for (;;) {
    const size_t l = 2 * i + 1, r = l + 1;
    size_t m = i;
    if (l < heap_size_ && before(heap_[l], heap_[m])) m = l;
    if (r < heap_size_ && before(heap_[r], heap_[m])) m = r;
    if (m == i) return;
    std::swap(heap_[i], heap_[m]);
    i = m;
  }
}

void Cursor::reset(const Song* song, bool tempo_only) {
  song_ = song;
  tempo_only_ = tempo_only;
  have_event_ = false;
  heap_size_ = 0;
  tempo_ = 500000;
  base_tick_ = 0;
  base_ms_ = 0;
  if (song == nullptr) return;
  const uint16_t division = song->division;
  smpte_ = (division & 0x8000) != 0;
  if (smpte_) {
    const int fps = -static_cast<int8_t>(division >> 8);
    const double frames = fps == 29 ? 29.97 : fps;
    fixed_ms_per_tick_ = 1000.0 / (frames * (division & 0xFF));
    ms_per_tick_at_tempo_ = 0;
  } else {
    fixed_ms_per_tick_ = 0;
    ms_per_tick_at_tempo_ = division == 0 ? 0 : 1.0 / (1000.0 * division);
  }
  tracks_.resize(song->track_spans.size());
  heap_.resize(song->track_spans.size());
  for (size_t i = 0; i < tracks_.size(); ++i) {
    const Song::Span& s = song->track_spans[i];
    TrackReader& t = tracks_[i];
    t = TrackReader{};
    t.p = song->image.data() + s.begin;
    t.end = t.p + s.size;
    if (tempo_only && !s.has_tempo) continue;
    if (advance(t)) heap_[heap_size_++] = static_cast<uint8_t>(i);
  }
  // Tracks went in by index, and all start at their first item's time.
  for (size_t i = heap_size_; i-- > 0;) sift_down(i);
}

double Cursor::ms_at(uint64_t tick) const {
  const double ticks = static_cast<double>(tick - base_tick_);
  return base_ms_ + (smpte_ ? ticks * fixed_ms_per_tick_ : ticks * tempo_ * ms_per_tick_at_tempo_);
}

const Event* Cursor::peek(size_t& steps, size_t max_steps) {
  while (!have_event_ && heap_size_ > 0) {
    const uint8_t index = heap_[0];
    TrackReader& t = tracks_[index];
    if (t.item == Channel && !tempo_only_) {
      event_.ms = to_ms(ms_at(t.tick));
      event_.status = t.status;
      event_.data1 = t.data1;
      event_.data2 = t.data2;
      event_.track = index;
      have_event_ = true;
      break;
    }
    if (steps >= max_steps) return nullptr;
    ++steps;
    if (t.item == Tempo) {
      // Times up to this tick keep the old tempo; later ones take the new.
      base_ms_ = ms_at(t.tick);
      base_tick_ = t.tick;
      tempo_ = t.tempo;
    }
    if (!advance(t)) heap_[0] = heap_[--heap_size_];
    sift_down(0);
  }
  return have_event_ ? &event_ : nullptr;
}

void Cursor::take() {
  if (!have_event_) return;
  have_event_ = false;
  TrackReader& t = tracks_[heap_[0]];
  if (!advance(t)) heap_[0] = heap_[--heap_size_];
  sift_down(0);
}

std::vector<Event> all_events(const Song& song) {
  std::vector<Event> out;
  Cursor c;
  c.reset(&song);
  size_t steps = 0;
  while (const Event* e = c.peek(steps, std::numeric_limits<size_t>::max())) {
    out.push_back(*e);
    c.take();
  }
  return out;
}

// ---------------------------------------------------------------------------
// Sequencer

uint32_t Sequencer::now() {
  Clock* c = clock_ != nullptr ? clock_ : services().clock;
  return c != nullptr ? c->now_ms() : 0;
}

Song Sequencer::load(Song song) {
  Song old = std::exchange(song_, std::move(song));
  loaded_ = true;
  playing_ = false;
  start_pos_ = 0;
  skip_before_ = 0;
  cursor_.reset(&song_);
  reset_ = true;
  return old;
}

void Sequencer::unload() {
  song_ = Song{};
  loaded_ = false;
  playing_ = false;
  start_pos_ = 0;
  skip_before_ = 0;
  cursor_.reset(nullptr);
  reset_ = true;
}

void Sequencer::play(uint32_t from_ms) {
  if (!loaded_) return;
  start_pos_ = std::min(from_ms, song_.length_ms);
  start_clock_ = now();
  playing_ = true;
  // Back to the start; what lies before the position is passed over as the
  // synthesiser pulls, a bounded part at a time.
  cursor_.reset(&song_);
  skip_before_ = start_pos_;
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

}  // namespace midi
}  // namespace platform
