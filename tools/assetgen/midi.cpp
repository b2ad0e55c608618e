#include "tools/assetgen/midi.h"

#include <algorithm>
#include <cmath>

namespace assets {

namespace {

void put_var(std::vector<uint8_t>& out, uint32_t v) {
  uint8_t buf[5];
  int n = 0;
  buf[n++] = v & 0x7F;
  while (v >>= 7) buf[n++] = uint8_t(0x80 | (v & 0x7F));
  while (n) out.push_back(buf[--n]);
}

void put_be(std::vector<uint8_t>& out, uint32_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(uint8_t(v >> (8 * i)));
}

}  // namespace

void MidiTrack::tempo(uint32_t tick, uint32_t us) {
  events_.push_back(
      {tick, 0, {0xFF, 0x51, 0x03, uint8_t(us >> 16), uint8_t(us >> 8), uint8_t(us)}});
}

void MidiTrack::time_signature(uint32_t tick, uint8_t num, uint8_t denom_pow2) {
  events_.push_back({tick, 0, {0xFF, 0x58, 0x04, num, denom_pow2, 24, 8}});
}

void MidiTrack::program(uint32_t tick, uint8_t ch, uint8_t prog) {
  events_.push_back({tick, 1, {uint8_t(0xC0 | ch), prog}});
}

void MidiTrack::control(uint32_t tick, uint8_t ch, uint8_t c, uint8_t v) {
  events_.push_back({tick, 1, {uint8_t(0xB0 | ch), c, v}});
}

void MidiTrack::note(uint32_t tick, uint8_t ch, uint8_t key, uint8_t vel, uint32_t length) {
  events_.push_back({tick, 2, {uint8_t(0x90 | ch), key, vel}});
  // Note-offs sort before note-ons at the same tick, so repeated notes retrigger.
  events_.push_back({tick + length, 1, {uint8_t(0x80 | ch), key, 0}});
}

std::vector<uint8_t> MidiTrack::chunk(uint32_t end_tick) const {
  std::vector<Event> ev = events_;
  std::stable_sort(ev.begin(), ev.end(), [](const Event& a, const Event& b) {
    return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
  });
  std::vector<uint8_t> body;
  if (!name_.empty()) {
    body.push_back(0);
    body.insert(body.end(), {0xFF, 0x03});
    put_var(body, uint32_t(name_.size()));
    body.insert(body.end(), name_.begin(), name_.end());
  }
  uint32_t now = 0;
  for (const Event& e : ev) {
    put_var(body, e.tick - now);
    now = e.tick;
    body.insert(body.end(), e.bytes.begin(), e.bytes.end());
  }
  put_var(body, end_tick > now ? end_tick - now : 0);
  body.insert(body.end(), {0xFF, 0x2F, 0x00});
  std::vector<uint8_t> out = {'M', 'T', 'r', 'k'};
  put_be(out, uint32_t(body.size()), 4);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

std::vector<uint8_t> midi_file(const std::vector<MidiTrack>& tracks, uint16_t tpq,
                               uint32_t end_tick) {
  std::vector<uint8_t> out = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1};
  put_be(out, uint32_t(tracks.size()), 2);
  put_be(out, tpq, 2);
  for (const MidiTrack& t : tracks) {
    std::vector<uint8_t> c = t.chunk(end_tick);
    out.insert(out.end(), c.begin(), c.end());
  }
  return out;
}

// ---- composition -----------------------------------------------------------

namespace {

constexpr uint16_t kTpq = 480;
constexpr uint32_t kBar = kTpq * 4;

struct Chord {
  int root;                // MIDI key of the root in the bass register
  std::vector<int> tones;  // intervals above the root
};

// A channel volume (controller 7) raised by `db` decibels: synthesisers take
// the level as the square of the value (40 log10 of it in decibels), and the
// value stops at 127.
uint8_t lifted(int volume, double db) {
  return uint8_t(std::min(127L, std::lround(volume * std::pow(10.0, db / 40))));
}

// How much louder each song is than first composed, so that both sit near
// -22 dBFS RMS in the game's mix, a few decibels under the effects
// (docs/performance.md, "Music level").
constexpr double kMenuLift = 3.7;
constexpr double kGameLift = 1.6;

const std::vector<int> kMinor = {0, 3, 7};
const std::vector<int> kMajor = {0, 4, 7};

}  // namespace

std::vector<uint8_t> menu_music() {
  // 72 beats a minute, 33 bars of 4/4: 110 seconds.
  const uint32_t bpm = 72;
  MidiTrack meta("zarnik menu");
  meta.tempo(0, 60000000 / bpm);
  meta.time_signature(0, 4, 2);
  MidiTrack pad("pad"), arp("arpeggio"), bass("bass"), melody("melody");
  pad.program(0, 0, 89);     // warm pad
  arp.program(0, 1, 11);     // vibraphone
  bass.program(0, 2, 32);    // acoustic bass
  melody.program(0, 3, 73);  // flute
  pad.control(0, 0, 91, 80);
  pad.control(0, 0, 7, lifted(96, kMenuLift));
  arp.control(0, 1, 7, lifted(100, kMenuLift));
  bass.control(0, 2, 7, lifted(100, kMenuLift));
  melody.control(0, 3, 7, lifted(104, kMenuLift));
  arp.control(0, 1, 91, 70);
  melody.control(0, 3, 91, 90);
  arp.control(0, 1, 10, 40);
  melody.control(0, 3, 10, 84);

  const std::vector<Chord> prog = {{45, kMinor}, {41, kMajor}, {48, kMajor}, {43, kMajor},
                                   {45, kMinor}, {41, kMajor}, {38, kMinor}, {40, kMajor}};
  // Melody phrase over eight bars: (bar offset in eighths, key, length in eighths).
  struct N {
    int at, key, len;
  };
  const std::vector<N> tune = {{0, 76, 4},  {4, 74, 2},  {6, 72, 2},  {8, 72, 6},
                               {14, 71, 2}, {16, 72, 4}, {20, 74, 4}, {24, 71, 8},
                               {32, 69, 4}, {36, 71, 2}, {38, 72, 2}, {40, 77, 6},
                               {46, 76, 2}, {48, 74, 4}, {52, 72, 4}, {56, 68, 8}};
  const int bars = 32;
  for (int b = 0; b < bars; ++b) {
    const Chord& c = prog[b % 8];
    uint32_t t = b * kBar;
    int section =
        b / 8;  // 0 pad and bass, 1 + arpeggio, 2 + melody, 3 melody an octave up, quieter
    for (int iv : c.tones) pad.note(t, 0, uint8_t(c.root + 12 + iv), 76, kBar - 10);
    bass.note(t, 2, uint8_t(c.root), 100, kTpq * 2 - 20);
    bass.note(t + kTpq * 2, 2, uint8_t(c.root + 7), 88, kTpq * 2 - 20);
    if (section >= 1) {
      const int pattern[8] = {0, 1, 2, 3, 2, 1, 0, 1};
      for (int i = 0; i < 8; ++i) {
        int k = pattern[i];
        int key = c.root + 24 + (k < 3 ? c.tones[k] : 12);
        arp.note(t + i * kTpq / 2, 1, uint8_t(key), uint8_t(section == 3 ? 70 : 84), kTpq / 2 - 10);
      }
    }
    if ((section == 2 || section == 3) && b % 8 == 0) {
      for (const N& n : tune) {
        int shift = section == 3 ? 12 : 0;
        melody.note(t + n.at * kTpq / 2, 3, uint8_t(n.key + shift), uint8_t(section == 3 ? 82 : 98),
                    n.len * kTpq / 2 - 20);
      }
    }
  }
  // Closing bar: the tonic held out, ending before the bar does.
  uint32_t t = bars * kBar;
  for (int key : {57, 60, 64, 69}) pad.note(t, 0, uint8_t(key), 74, kBar - kTpq);
  bass.note(t, 2, 45, 92, kBar - kTpq);
  return midi_file({meta, pad, arp, bass, melody}, kTpq, (bars + 1) * kBar);
}

std::vector<uint8_t> game_music() {
  // 140 beats a minute, 64 bars of 4/4: about 110 seconds.
  const uint32_t bpm = 140;
  MidiTrack meta("zarnik game");
  meta.tempo(0, 60000000 / bpm);
  meta.time_signature(0, 4, 2);
  MidiTrack drums("drums"), bass("bass"), lead("lead"), chords("chords");
  const uint8_t D = 9;       // channel 10
  bass.program(0, 0, 38);    // synth bass 1
  lead.program(0, 1, 81);    // sawtooth lead
  chords.program(0, 2, 30);  // overdriven guitar
  lead.control(0, 1, 91, 50);
  drums.control(0, D, 7, lifted(112, kGameLift));
  bass.control(0, 0, 7, lifted(104, kGameLift));
  lead.control(0, 1, 7, lifted(92, kGameLift));
  chords.control(0, 2, 7, lifted(78, kGameLift));
  chords.control(0, 2, 10, 44);
  lead.control(0, 1, 10, 80);
  const uint32_t e = kTpq / 2;  // an eighth
  const uint32_t s = kTpq / 4;  // a sixteenth

  const std::vector<Chord> prog = {{40, kMinor}, {36, kMajor}, {43, kMajor}, {38, kMajor}};
  // Two-bar lead motif in E minor, in sixteenths: (at, key, length).
  struct N {
    int at, key, len;
  };
  const std::vector<N> motif_a = {{0, 76, 3},  {3, 74, 3},  {6, 71, 2},  {8, 74, 4},  {12, 76, 4},
                                  {16, 79, 3}, {19, 78, 3}, {22, 76, 2}, {24, 74, 6}, {30, 71, 2}};
  const std::vector<N> motif_b = {{0, 71, 2},  {2, 71, 2},  {4, 74, 2},  {6, 76, 2},  {8, 79, 6},
                                  {14, 78, 2}, {16, 76, 4}, {20, 74, 4}, {24, 72, 4}, {28, 71, 4}};
  const int bars = 64;
  for (int b = 0; b < bars; ++b) {
    const Chord& c = prog[(b / 2) % 4];
    uint32_t t = b * kBar;
    int section = b / 8;  // 0 intro, 1-2 A, 3-4 B, 5-6 A', 7 outro
    bool intro = section == 0, outro = section == 7;
    // Drums.
    if (b % 8 == 0) drums.note(t, D, 49, 110, e);  // crash on each phrase
    for (int i = 0; i < 8; ++i) {
      uint32_t at = t + i * e;
      drums.note(at, D, intro && b < 4 ? 44 : 42, uint8_t(i % 2 ? 70 : 92), s);
    }
    drums.note(t, D, 36, 118, e);
    drums.note(t + 3 * e, D, 36, 96, e);
    drums.note(t + 4 * e, D, 36, 112, e);
    if (!(intro && b < 4)) {
      drums.note(t + 2 * e, D, 38, 110, e);
      drums.note(t + 6 * e, D, 38, 114, e);
    }
    if (b % 4 == 3 && !outro) {  // fill into the next bar
      drums.note(t + 6 * e + s, D, 45, 96, s);
      drums.note(t + 7 * e, D, 47, 102, s);
      drums.note(t + 7 * e + s, D, 50, 108, s);
    }
    // Bass: driving eighths on the root, octave jumps on the offbeats.
    for (int i = 0; i < 8; ++i) {
      int key = c.root + (i % 4 == 3 ? 12 : 0);
      bass.note(t + i * e, 0, uint8_t(key), uint8_t(i % 2 ? 84 : 100), e - 30);
    }
    // Power chords in B and in the outro.
    if (section == 3 || section == 4 || outro) {
      for (int iv : {12, 19, 24}) {
        chords.note(t, 2, uint8_t(c.root + iv), 78, kTpq * 3 / 2 - 20);
        chords.note(t + kTpq * 3 / 2, 2, uint8_t(c.root + iv), 70, kTpq - 20);
        chords.note(t + kTpq * 5 / 2, 2, uint8_t(c.root + iv), 74, kTpq * 3 / 2 - 20);
      }
    }
    // Lead in A and A' (motif a then b), an octave-higher echo in A'.
    if ((section == 1 || section == 2 || section == 5 || section == 6) && b % 2 == 0) {
      const auto& m = (b / 2) % 2 == 0 ? motif_a : motif_b;
      int shift = (b / 4) % 2 == 1 ? -2 : 0;  // answer phrase a step lower
      if (section >= 5) shift += 12;
      for (const N& n : m)
        lead.note(t + n.at * s, 1, uint8_t(n.key + shift), uint8_t(section >= 5 ? 88 : 96),
                  n.len * s - 15);
    }
  }
  // Final hit on the downbeat after the last bar, then silence to its end.
  uint32_t t = bars * kBar;
  drums.note(t, D, 49, 120, kTpq);
  drums.note(t, D, 36, 120, e);
  bass.note(t, 0, 40, 110, kTpq * 2);
  for (int iv : {12, 19, 24}) chords.note(t, 2, uint8_t(40 + iv), 90, kTpq * 2);
  return midi_file({meta, drums, bass, lead, chords}, kTpq, (bars + 1) * kBar);
}

}  // namespace assets
