#include "platform/web/music.h"

#include <algorithm>
#include <cctype>

namespace platform::web {

std::string RenderedMusic::piece_name(std::string_view path) {
  const size_t slash = path.find_last_of("/\\");
  std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  name = name.substr(0, name.find('.'));
  std::string out(name);
  for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool RenderedMusic::open(const std::string& path, std::string& error) {
  if (!time_.open(path, error)) {
    piece_ = -1;
    return false;
  }
  piece_ = source_ ? source_->piece(piece_name(path)) : -1;
  synced_ = false;
  return true;
}

void RenderedMusic::close() {
  time_.close();
  piece_ = -1;
}

bool RenderedMusic::play(uint32_t from_ms) {
  synced_ = false;  // a fresh start, not a continuation
  return time_.play(from_ms);
}

void RenderedMusic::render_add(float* bus, size_t frames) {
  if (piece_ < 0 || !source_ || !time_.playing()) return;
  const uint64_t target = uint64_t(time_.position_ms()) * rate_ / 1000;
  const uint64_t drift = uint64_t(kDriftMs) * rate_ / 1000;
  if (!synced_ || std::max(cursor_, target) - std::min(cursor_, target) > drift) {
    cursor_ = target;
    synced_ = true;
  }
  const uint64_t have = source_->frames(piece_);
  if (cursor_ < have)
    source_->add(piece_, cursor_, bus, size_t(std::min<uint64_t>(frames, have - cursor_)));
  cursor_ += frames;
}

}  // namespace platform::web
