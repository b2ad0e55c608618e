// The container tool for people who make or change the game's data files.
#include "tools/xxx/xxx.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <stdexcept>

#include "media/container.h"
#include "media/dib.h"
#include "media/pictures.h"
#include "media/sound.h"
#include "media/wave.h"
#include "platform/files.h"
#include "platform/little_endian.h"
#include "platform/text.h"

namespace xxx {

namespace fs = std::filesystem;

namespace {

constexpr const char* kPictureRoot = "TPictureCollectionComponent";
constexpr const char* kWaveRoot = "TWaveCollectionComponent";
constexpr const char* kManifestName = "manifest.txt";

uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
  if (at + 4 > b.size()) throw std::runtime_error("BMP file is damaged");
  return platform::get_le32(&b[at]);
}
uint16_t Get16(const std::vector<uint8_t>& b, size_t at) {
  if (at + 2 > b.size()) throw std::runtime_error("BMP file is damaged");
  return platform::get_le16(&b[at]);
}

// Colour-table entries that follow a 40-byte-style header.
uint64_t TableEntries(uint16_t bits, uint32_t colors_used) {
  uint64_t n = colors_used;
  if (n == 0 && bits <= 8) n = uint64_t(1) << bits;
  return n > 256 ? 256 : n;
}

// Names are 8-bit (code page 1250) in the containers. The manifest and the
// listing show them as UTF-8; bytes that would not come back unchanged
// (controls, the backslash, codes the page leaves undefined) appear as \xNN.
std::string ShowName(const std::string& name) {
  std::string out;
  for (unsigned char c : name) {
    const std::string one(1, char(c));
    const std::string utf8 = platform::cp1250_to_utf8(one);
    if (c < 0x20 || c == 0x7F || c == '\\' || platform::utf8_to_cp1250(utf8) != one) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    } else {
      out += utf8;
    }
  }
  return out;
}

std::string ParseName(const std::string& shown) {
  std::string out, run;
  for (size_t i = 0; i < shown.size(); ++i) {
    if (shown[i] == '\\' && i + 3 < shown.size() && shown[i + 1] == 'x') {
      out += platform::utf8_to_cp1250(run);
      run.clear();
      out += char(std::stoi(shown.substr(i + 2, 2), nullptr, 16));
      i += 3;
    } else {
      run += shown[i];
    }
  }
  return out + platform::utf8_to_cp1250(run);
}

std::string Hex(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", v);
  return buf;
}

std::string SoundSummary(const media::TWave& w) {
  if (w.Empty()) return "no sound";
  std::ostringstream s;
  const auto& f = w.Format();
  const uint32_t byte_rate = f.size() >= 12 ? uint32_t(f[8]) | (uint32_t(f[9]) << 8) |
                                                  (uint32_t(f[10]) << 16) | (uint32_t(f[11]) << 24)
                                            : 0;
  if (w.FormatTag() == 1)
    s << "PCM";
  else
    s << "format " << w.FormatTag();
  s << " " << w.Channels() << " ch " << w.SamplesPerSec() << " Hz " << w.BitsPerSample() << " bit, "
    << w.Data().size() << " bytes";
  if (byte_rate > 0) {
    char buf[32];
    std::snprintf(buf, sizeof buf, " %.3f s", double(w.Data().size()) / byte_rate);
    s << buf;
  }
  return s.str();
}

struct ManifestLine {
  int number;
  std::string key, value;
};

std::vector<ManifestLine> ReadManifest(const std::string& path) {
  std::vector<ManifestLine> lines;
  int number = 0;
  for (const std::string& line : platform::split_lines(platform::read_file(path))) {
    ++number;
    if (line.empty() || line[0] == '#') continue;
    const size_t space = line.find(' ');
    lines.push_back(
        {number, line.substr(0, space), space == std::string::npos ? "" : line.substr(space + 1)});
  }
  return lines;
}

[[noreturn]] void ManifestError(const std::string& path, const ManifestLine& l,
                                const std::string& what) {
  throw std::runtime_error(path + ":" + std::to_string(l.number) + ": " + what);
}

int32_t ParseInt(const std::string& path, const ManifestLine& l) {
  try {
    size_t used = 0;
    const long long v = std::stoll(l.value, &used, 0);
    if (used != l.value.size() || v < INT32_MIN || v > UINT32_MAX) throw std::out_of_range("");
    return int32_t(uint32_t(v));
  } catch (const std::logic_error&) {
    ManifestError(path, l, "not an integer: " + l.value);
  }
}

bool ParseBool(const std::string& path, const ManifestLine& l) {
  if (l.value == "1" || l.value == "true") return true;
  if (l.value == "0" || l.value == "false") return false;
  ManifestError(path, l, "not a boolean: " + l.value);
}

}  // namespace

// The kind comes from the content: the root's items are read as pictures and
// as sounds, and the one that reads is taken, so a container whose root class
// name this tool does not know still lists. Only when both read (an empty
// list, or items with nothing but names) does the class name decide, and
// failing that the caller must say the kind.
Kind ContainerKind(const std::vector<uint8_t>& bytes, std::optional<Kind> forced) {
  if (forced) return *forced;
  const media::ContainerInfo info = media::ReadContainerInfo(bytes.data(), bytes.size());
  auto reads = [&](auto collection, std::string& error) {
    try {
      media::LoadCollectionStream(collection, bytes.data(), bytes.size());
      return true;
    } catch (const std::exception& e) {
      error = e.what();
      return false;
    }
  };
  std::string picture_error, sound_error;
  const bool pictures = reads(media::TPictureCollection{}, picture_error);
  const bool sounds = reads(media::TWaveCollection{}, sound_error);
  if (pictures && !sounds) return Kind::Pictures;
  if (sounds && !pictures) return Kind::Sounds;
  if (info.class_name == kPictureRoot) return Kind::Pictures;
  if (info.class_name == kWaveRoot) return Kind::Sounds;
  if (pictures)
    throw std::runtime_error("container kind \"" + info.class_name +
                             "\" is unknown and the items fit both kinds: give --kind");
  // Neither reads: report the reader's error for the kind the name suggests.
  throw std::runtime_error(info.class_name == kWaveRoot ? sound_error : picture_error);
}

int PatternCount(const media::TPictureCollectionItem& item) {
  if (item.Picture.Empty()) return 0;
  const int64_t pw = item.Picture.Width(), ph = item.Picture.Height();
  const int64_t PW = item.PatternWidth > 0 ? item.PatternWidth : pw;
  const int64_t PH = item.PatternHeight > 0 ? item.PatternHeight : ph;
  if (PW == pw && PH == ph) return 1;
  const int64_t step_x = PW + item.SkipWidth, step_y = PH + item.SkipHeight;
  if (step_x <= 0 || step_y <= 0) return 0;
  const int64_t columns = (pw + item.SkipWidth) / step_x;
  const int64_t rows = (ph + item.SkipHeight) / step_y;
  if (columns <= 0 || rows <= 0) return 0;
  return int(columns * rows);
}

std::vector<uint8_t> BitmapToBmpFile(const std::vector<uint8_t>& bitmap) {
  if (bitmap.size() < 40) throw std::runtime_error("no picture");
  const uint16_t bits = Get16(bitmap, 14);
  const uint32_t compression = Get32(bitmap, 16);
  const uint64_t offset =
      14 + 40 + (compression == 3 ? 12 : 0) + 4 * TableEntries(bits, Get32(bitmap, 32));
  std::vector<uint8_t> file = {'B', 'M'};
  platform::put_le32(file, uint32_t(14 + bitmap.size()));
  platform::put_le32(file, 0);
  platform::put_le32(file, uint32_t(offset));
  file.insert(file.end(), bitmap.begin(), bitmap.end());
  return file;
}

std::vector<uint8_t> BmpFileToBitmap(const std::vector<uint8_t>& file) {
  if (file.size() < 18 || file[0] != 'B' || file[1] != 'M')
    throw std::runtime_error("not a BMP file");
  const uint32_t offset = Get32(file, 10);
  const uint32_t header_size = Get32(file, 14);
  if (header_size == 12) return std::vector<uint8_t>(file.begin() + 14, file.end());
  if (header_size != 40 && header_size != 52 && header_size != 56 && header_size != 108 &&
      header_size != 124)
    throw std::runtime_error("unsupported BMP header size " + std::to_string(header_size));
  if (file.size() < 14 + uint64_t(header_size)) throw std::runtime_error("BMP file is damaged");
  // Rebuild as a 40-byte header, masks, colour table and rows.
  std::vector<uint8_t> out(file.begin() + 14, file.begin() + 14 + 40);
  out[0] = 40;
  out[1] = out[2] = out[3] = 0;
  const uint16_t bits = Get16(out, 14);
  const uint32_t compression = Get32(out, 16);
  uint64_t table = 14 + uint64_t(header_size);
  if (compression == 3) {
    const uint64_t masks = header_size == 40 ? table : 14 + 40;
    if (masks + 12 > file.size()) throw std::runtime_error("BMP file is damaged");
    out.insert(out.end(), file.begin() + ptrdiff_t(masks), file.begin() + ptrdiff_t(masks + 12));
    if (header_size == 40) table += 12;
  }
  const uint64_t table_end = table + 4 * TableEntries(bits, Get32(out, 32));
  if (table_end > file.size()) throw std::runtime_error("BMP file is damaged");
  out.insert(out.end(), file.begin() + ptrdiff_t(table), file.begin() + ptrdiff_t(table_end));
  const uint64_t pixels = offset >= table_end && offset <= file.size() ? offset : table_end;
  out.insert(out.end(), file.begin() + ptrdiff_t(pixels), file.end());
  return out;
}

std::string List(const std::vector<uint8_t>& bytes, std::optional<Kind> kind) {
  std::ostringstream s;
  if (ContainerKind(bytes, kind) == Kind::Pictures) {
    media::TPictureCollection c;
    media::LoadCollectionStream(c, bytes.data(), bytes.size());
    for (int i = 0; i < c.Count(); ++i) {
      const auto& it = c.ItemAt(i);
      s << i << " picture \"" << ShowName(it.Name) << "\" ";
      if (it.Picture.Empty()) {
        s << "no picture";
      } else {
        s << it.Picture.Width() << "x" << it.Picture.Height() << " " << it.Picture.BitCount()
          << " bit, pattern " << (it.PatternWidth > 0 ? it.PatternWidth : it.Picture.Width()) << "x"
          << (it.PatternHeight > 0 ? it.PatternHeight : it.Picture.Height()) << " count "
          << PatternCount(it);
      }
      s << ", transparent " << (it.Transparent ? "" : "off ") << Hex(it.TransparentColor) << "\n";
    }
  } else {
    media::TWaveCollection c;
    media::LoadCollectionStream(c, bytes.data(), bytes.size());
    for (int i = 0; i < c.Count(); ++i) {
      const auto& it = c.ItemAt(i);
      s << i << " sound \"" << ShowName(it.Name) << "\" " << SoundSummary(it.Wave);
      if (it.Looped) s << ", looped";
      if (it.MaxPlayingCount() != 0) s << ", at most " << it.MaxPlayingCount() << " at once";
      s << "\n";
    }
  }
  return s.str();
}

void Unpack(const std::string& container_path, const std::string& dir, std::optional<Kind> kind) {
  const std::vector<uint8_t> bytes = platform::read_file(container_path);
  const media::ContainerInfo info = media::ReadContainerInfo(bytes.data(), bytes.size());
  const bool pictures = ContainerKind(bytes, kind) == Kind::Pictures;
  fs::create_directories(dir);
  auto path = [&](const std::string& name) { return (fs::path(dir) / name).string(); };
  auto numbered = [](int i, const char* ext) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%03d.%s", i, ext);
    return std::string(buf);
  };
  std::ostringstream m;
  m << "# Container manifest: xxx pack " << kManifestName << " FILE rebuilds the container.\n";
  m << "kind " << (pictures ? "pictures" : "sounds") << "\n";
  m << "resource " << ShowName(info.resource_name) << "\n";
  if (pictures) {
    media::TPictureCollection c;
    media::LoadCollectionStream(c, bytes.data(), bytes.size());
    if (!c.ColorTable.empty()) {
      platform::write_file_atomic(path("colortable.bin"), c.ColorTable);
      m << "colortable colortable.bin\n";
    }
    for (int i = 0; i < c.Count(); ++i) {
      const auto& it = c.ItemAt(i);
      std::string file;
      if (!it.Picture.Empty()) {
        file = numbered(i, "bmp");
        platform::write_file_atomic(path(file), BitmapToBmpFile(it.Picture.SaveToBytes()));
      }
      m << "\nitem\n"
        << "Name " << ShowName(it.Name) << "\n"
        << "PatternHeight " << it.PatternHeight << "\n"
        << "PatternWidth " << it.PatternWidth << "\n"
        << "Picture " << file << "\n"
        << "SkipHeight " << it.SkipHeight << "\n"
        << "SkipWidth " << it.SkipWidth << "\n"
        << "SystemMemory " << (it.SystemMemory ? 1 : 0) << "\n"
        << "Transparent " << (it.Transparent ? 1 : 0) << "\n"
        << "TransparentColor " << Hex(it.TransparentColor) << "\n";
    }
  } else {
    media::TWaveCollection c;
    media::LoadCollectionStream(c, bytes.data(), bytes.size());
    for (int i = 0; i < c.Count(); ++i) {
      const auto& it = c.ItemAt(i);
      std::string file;
      if (!it.Wave.Empty()) {
        file = numbered(i, "wav");
        platform::write_file_atomic(path(file), it.Wave.SaveToBytes());
      }
      m << "\nitem\n"
        << "Name " << ShowName(it.Name) << "\n"
        << "Looped " << (it.Looped ? 1 : 0) << "\n"
        << "MaxPlayingCount " << it.MaxPlayingCount() << "\n"
        << "Wave " << file << "\n";
    }
  }
  const std::string text = m.str();
  platform::write_file_atomic(path(kManifestName), std::vector<uint8_t>(text.begin(), text.end()));
}

void Pack(const std::string& manifest_path, const std::string& container_path) {
  const std::vector<ManifestLine> lines = ReadManifest(manifest_path);
  const fs::path base = fs::path(manifest_path).parent_path();
  auto load = [&](const std::string& name) { return platform::read_file((base / name).string()); };
  if (lines.empty() || lines[0].key != "kind" ||
      (lines[0].value != "pictures" && lines[0].value != "sounds"))
    throw std::runtime_error(manifest_path +
                             ": must begin with \"kind pictures\" or \"kind sounds\"");
  const bool pictures = lines[0].value == "pictures";
  std::string resource = "DATA";
  media::TPictureCollection pc;
  media::TWaveCollection wc;
  media::TPictureCollectionItem* pi = nullptr;
  media::TWaveCollectionItem* wi = nullptr;
  for (size_t n = 1; n < lines.size(); ++n) {
    const ManifestLine& l = lines[n];
    const std::string& k = l.key;
    if (k == "resource") {
      resource = ParseName(l.value);
    } else if (k == "item") {
      if (pictures)
        pi = &pc.Add();
      else
        wi = &wc.Add();
    } else if (pictures && k == "colortable") {
      pc.ColorTable = load(l.value);
      if (pc.ColorTable.size() != 1024)
        ManifestError(manifest_path, l, "colour table must hold 1024 bytes");
    } else if (pi == nullptr && wi == nullptr) {
      ManifestError(manifest_path, l, "\"" + k + "\" before the first item");
    } else if (k == "Name") {
      (pictures ? pi->Name : wi->Name) = ParseName(l.value);
    } else if (pictures && k == "PatternHeight") {
      pi->PatternHeight = ParseInt(manifest_path, l);
    } else if (pictures && k == "PatternWidth") {
      pi->PatternWidth = ParseInt(manifest_path, l);
    } else if (pictures && k == "SkipHeight") {
      pi->SkipHeight = ParseInt(manifest_path, l);
    } else if (pictures && k == "SkipWidth") {
      pi->SkipWidth = ParseInt(manifest_path, l);
    } else if (pictures && k == "SystemMemory") {
      pi->SystemMemory = ParseBool(manifest_path, l);
    } else if (pictures && k == "Transparent") {
      pi->Transparent = ParseBool(manifest_path, l);
    } else if (pictures && k == "TransparentColor") {
      pi->TransparentColor = uint32_t(ParseInt(manifest_path, l));
    } else if (pictures && k == "Picture") {
      pi->Picture = media::TDIB();
      if (!l.value.empty()) {
        const std::vector<uint8_t> bitmap = BmpFileToBitmap(load(l.value));
        pi->Picture.LoadFromBytes(bitmap.data(), bitmap.size());
      }
    } else if (!pictures && k == "Looped") {
      wi->Looped = ParseBool(manifest_path, l);
    } else if (!pictures && k == "MaxPlayingCount") {
      wi->SetMaxPlayingCount(ParseInt(manifest_path, l));
    } else if (!pictures && k == "Wave") {
      wi->Wave = media::TWave();
      if (!l.value.empty()) {
        const std::vector<uint8_t> wav = load(l.value);
        wi->Wave.LoadFromBytes(wav.data(), wav.size());
      }
    } else {
      ManifestError(manifest_path, l, "unknown key \"" + k + "\"");
    }
  }
  platform::write_file_atomic(container_path, pictures ? media::SaveCollectionStream(pc, resource)
                                                       : media::SaveCollectionStream(wc, resource));
}

int Main(int argc, char** argv) {
  const std::string usage =
      "usage: xxx list [--kind pictures|sounds] FILE\n"
      "       xxx unpack [--kind pictures|sounds] FILE DIR\n"
      "       xxx pack MANIFEST FILE\n";
  std::vector<std::string> args(argv + 1, argv + argc);
  std::optional<Kind> kind;
  if (args.size() >= 3 && args[1] == "--kind") {
    if (args[2] == "pictures")
      kind = Kind::Pictures;
    else if (args[2] == "sounds")
      kind = Kind::Sounds;
    else {
      std::cerr << usage;
      return 2;
    }
    args.erase(args.begin() + 1, args.begin() + 3);
  }
  try {
    if (args.size() == 2 && args[0] == "list") {
      std::cout << List(platform::read_file(args[1]), kind);
      return 0;
    }
    if (args.size() == 3 && args[0] == "unpack") {
      Unpack(args[1], args[2], kind);
      return 0;
    }
    if (args.size() == 3 && args[0] == "pack" && !kind) {
      Pack(args[1], args[2]);
      return 0;
    }
  } catch (const std::exception& e) {
    std::cerr << "xxx: " << e.what() << "\n";
    return 1;
  }
  std::cerr << usage;
  return 2;
}

}  // namespace xxx
