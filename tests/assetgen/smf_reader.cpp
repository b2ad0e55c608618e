#include "tests/assetgen/smf_reader.h"

#include <algorithm>
#include <cstring>

namespace smf {

namespace {

struct Cursor {
  const std::vector<uint8_t>& b;
  size_t pos = 0;
  uint8_t u8() {
    if (pos >= b.size()) throw std::runtime_error("truncated");
    return b[pos++];
  }
  uint32_t be(int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = v << 8 | u8();
    return v;
  }
  uint32_t var() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
      uint8_t c = u8();
      v = v << 7 | (c & 0x7F);
      if (!(c & 0x80)) return v;
    }
    throw std::runtime_error("variable-length value too long");
  }
  void expect(const char* tag) {
    for (int i = 0; i < 4; ++i)
      if (u8() != uint8_t(tag[i])) throw std::runtime_error(std::string("expected ") + tag);
  }
};

}  // namespace

Song parse(const std::vector<uint8_t>& bytes) {
  Song s;
  Cursor c{bytes};
  c.expect("MThd");
  if (c.be(4) != 6) throw std::runtime_error("header length");
  s.format = int(c.be(2));
  s.tracks = int(c.be(2));
  uint32_t tpq = c.be(2);
  if (tpq == 0 || tpq & 0x8000) throw std::runtime_error("division");
  uint32_t tempo = 500000, end_tick = 0, last_off = 0;
  bool tempo_set = false;
  for (int t = 0; t < s.tracks; ++t) {
    c.expect("MTrk");
    size_t len = c.be(4), end = c.pos + len;
    if (end > bytes.size()) throw std::runtime_error("track length");
    uint32_t tick = 0;
    uint8_t status = 0;
    int on[16][128] = {};
    bool ended = false;
    while (c.pos < end) {
      tick += c.var();
      uint8_t b = c.u8();
      if (b & 0x80)
        status = b;
      else if (!status)
        throw std::runtime_error("running status without a status");
      else
        --c.pos;
      if (status == 0xFF) {
        uint8_t type = c.u8();
        uint32_t n = c.var();
        if (type == 0x51 && n == 3 && !tempo_set) {
          tempo = c.be(3);
          tempo_set = true;
          n = 0;
        }
        c.pos += n;
        if (type == 0x2F) {
          ended = true;
          end_tick = std::max(end_tick, tick);
          break;
        }
        status = 0;
        continue;
      }
      if (status == 0xF0 || status == 0xF7) {
        c.pos += c.var();
        status = 0;
        continue;
      }
      int ch = status & 15, kind = status >> 4;
      uint8_t d1 = c.u8();
      uint8_t d2 = (kind == 0xC || kind == 0xD) ? 0 : c.u8();
      if (kind == 0x9 && d2 > 0) {
        ++on[ch][d1 & 127];
        ++s.notes;
        ++s.notes_on_channel[ch];
      } else if (kind == 0x8 || (kind == 0x9 && d2 == 0)) {
        if (on[ch][d1 & 127] > 0) --on[ch][d1 & 127];
        last_off = std::max(last_off, tick);
      }
    }
    if (!ended || c.pos != end) throw std::runtime_error("track without a proper end");
    for (auto& chan : on)
      for (int v : chan) s.hanging_notes += v;
  }
  double sec_per_tick = tempo / 1e6 / tpq;
  s.seconds = end_tick * sec_per_tick;
  s.last_note_off_seconds = last_off * sec_per_tick;
  return s;
}

}  // namespace smf
