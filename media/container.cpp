// Picture and sound container files. A container is a resource header, the
// signature "TPF0" and one serialised root component whose only property is
// the collection `List`; each collection item is a list of named, tagged
// property values. The reader walks that layout into a TPictureCollection or
// TWaveCollection; the writer produces the same layout byte for byte.
#include "media/container.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "media/byte_reader.h"
#include "media/dib.h"
#include "media/errors.h"
#include "media/pictures.h"
#include "media/sound.h"
#include "media/wave.h"
#include "platform/files.h"

namespace media {

namespace {

// Value tags.
enum : uint8_t {
  vaNull = 0,
  vaList = 1,
  vaInt8 = 2,
  vaInt16 = 3,
  vaInt32 = 4,
  vaString = 6,
  vaIdent = 7,
  vaFalse = 8,
  vaTrue = 9,
  vaBinary = 10,
  vaLString = 12,
  vaCollection = 14,
};

constexpr uint16_t kRawDataType = 10;
// The name and its terminator must end within this many bytes of the start.
constexpr size_t kResourceHeaderScan = 79;
constexpr uint16_t kMemoryFlags = 0x1030;  // moveable, pure, discardable
constexpr size_t kColorTableSize = 1024;

constexpr const char* kPictureRootClass = "TPictureCollectionComponent";
constexpr const char* kWaveRootClass = "TWaveCollectionComponent";

[[noreturn]] void BadFormat() { throw EReadError("Invalid stream format"); }
[[noreturn]] void BadValue() { throw EReadError("Invalid property value"); }

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; };
           return lower(x) == lower(y);
         });
}

struct ColorIdent {
  const char* name;
  uint32_t value;
};
constexpr ColorIdent kColorIdents[] = {
    {"clBlack", 0x000000},
    {"clMaroon", 0x000080},
    {"clGreen", 0x008000},
    {"clOlive", 0x008080},
    {"clNavy", 0x800000},
    {"clPurple", 0x800080},
    {"clTeal", 0x808000},
    {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0},
    {"clRed", 0x0000FF},
    {"clLime", 0x00FF00},
    {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},
    {"clFuchsia", 0xFF00FF},
    {"clAqua", 0xFFFF00},
    {"clWhite", 0xFFFFFF},
    // System colours: 0x80000000 + their index in the system colour table.
    {"clScrollBar", 0x80000000},
    {"clBackground", 0x80000001},
    {"clActiveCaption", 0x80000002},
    {"clInactiveCaption", 0x80000003},
    {"clMenu", 0x80000004},
    {"clWindow", 0x80000005},
    {"clWindowFrame", 0x80000006},
    {"clMenuText", 0x80000007},
    {"clWindowText", 0x80000008},
    {"clCaptionText", 0x80000009},
    {"clActiveBorder", 0x8000000A},
    {"clInactiveBorder", 0x8000000B},
    {"clAppWorkSpace", 0x8000000C},
    {"clHighlight", 0x8000000D},
    {"clHighlightText", 0x8000000E},
    {"clBtnFace", 0x8000000F},
    {"clBtnShadow", 0x80000010},
    {"clGrayText", 0x80000011},
    {"clBtnText", 0x80000012},
    {"clInactiveCaptionText", 0x80000013},
    {"clBtnHighlight", 0x80000014},
    {"cl3DDkShadow", 0x80000015},
    {"cl3DLight", 0x80000016},
    {"clInfoText", 0x80000017},
    {"clInfoBk", 0x80000018},
    {"clNone", 0x1FFFFFFF},
};

// ---- property model ----------------------------------------------------------

enum class Kind { Integer, Boolean, String, Color, Binary, Collection, Object };

enum class Target {
  // picture container
  PicList,
  PicColorTable,
  PicName,
  PicPatternHeight,
  PicPatternWidth,
  PicPicture,
  PicData,
  PicSkipHeight,
  PicSkipWidth,
  PicSystemMemory,
  PicTransparent,
  PicTransparentColor,
  // sound container
  WavList,
  WavName,
  WavLooped,
  WavMaxPlayingCount,
  WavWave,
  WavData,
};

enum ObjectType {
  kPictureRoot,
  kPictureList,
  kPictureItem,
  kPictureHolder,
  kWaveRoot,
  kWaveList,
  kWaveItem,
  kWaveHolder,
  kNoObject,
};

struct Prop {
  const char* name;
  Kind kind;
  Target target;
  ObjectType object;  // what a path continues into (Object / Collection)
};

struct ObjectProps {
  const Prop* props;
  size_t count;
};

constexpr Prop kPictureRootProps[] = {{"List", Kind::Collection, Target::PicList, kPictureList}};
constexpr Prop kPictureListProps[] = {
    {"ColorTable", Kind::Binary, Target::PicColorTable, kNoObject}};
constexpr Prop kPictureItemProps[] = {
    {"Name", Kind::String, Target::PicName, kNoObject},
    {"PatternHeight", Kind::Integer, Target::PicPatternHeight, kNoObject},
    {"PatternWidth", Kind::Integer, Target::PicPatternWidth, kNoObject},
    {"Picture", Kind::Object, Target::PicPicture, kPictureHolder},
    {"SkipHeight", Kind::Integer, Target::PicSkipHeight, kNoObject},
    {"SkipWidth", Kind::Integer, Target::PicSkipWidth, kNoObject},
    {"SystemMemory", Kind::Boolean, Target::PicSystemMemory, kNoObject},
    {"Transparent", Kind::Boolean, Target::PicTransparent, kNoObject},
    {"TransparentColor", Kind::Color, Target::PicTransparentColor, kNoObject},
};
constexpr Prop kPictureHolderProps[] = {{"Data", Kind::Binary, Target::PicData, kNoObject}};
constexpr Prop kWaveRootProps[] = {{"List", Kind::Collection, Target::WavList, kWaveList}};
constexpr Prop kWaveItemProps[] = {
    {"Name", Kind::String, Target::WavName, kNoObject},
    {"Looped", Kind::Boolean, Target::WavLooped, kNoObject},
    {"MaxPlayingCount", Kind::Integer, Target::WavMaxPlayingCount, kNoObject},
    {"Wave", Kind::Object, Target::WavWave, kWaveHolder},
};
constexpr Prop kWaveHolderProps[] = {{"WAVE", Kind::Binary, Target::WavData, kNoObject}};

ObjectProps PropsOf(ObjectType t) {
  switch (t) {
    case kPictureRoot: return {kPictureRootProps, std::size(kPictureRootProps)};
    case kPictureList: return {kPictureListProps, std::size(kPictureListProps)};
    case kPictureItem: return {kPictureItemProps, std::size(kPictureItemProps)};
    case kPictureHolder: return {kPictureHolderProps, std::size(kPictureHolderProps)};
    case kWaveRoot: return {kWaveRootProps, std::size(kWaveRootProps)};
    case kWaveItem: return {kWaveItemProps, std::size(kWaveItemProps)};
    case kWaveHolder: return {kWaveHolderProps, std::size(kWaveHolderProps)};
    default: return {nullptr, 0};
  }
}

// Follows a dotted property path from an object to the property it names.
const Prop& Resolve(ObjectType object, std::string_view path) {
  for (;;) {
    const size_t dot = path.find('.');
    const std::string_view part = path.substr(0, dot);
    const ObjectProps props = PropsOf(object);
    const Prop* found = nullptr;
    for (size_t i = 0; i < props.count; ++i)
      if (SameName(props.props[i].name, part)) found = &props.props[i];
    if (found == nullptr) throw EReadError("Property does not exist");
    if (dot == std::string_view::npos) return *found;
    if (found->kind != Kind::Object && found->kind != Kind::Collection)
      throw EReadError("Invalid property path");
    object = found->object;
    path = path.substr(dot + 1);
  }
}

// ---- reading -----------------------------------------------------------------

// Skips the resource header and checks the signature; returns the resource name.
std::string ReadHeader(ByteReader& in) {
  const uint8_t* data = in.Current();
  const size_t size = in.Remaining();
  if (size < 3 || data[0] != 0xFF || platform::get_le16(data + 1) != kRawDataType) BadFormat();
  const size_t scan_end = std::min(size, kResourceHeaderScan);
  const uint8_t* zero = static_cast<const uint8_t*>(std::memchr(data + 3, 0, scan_end - 3));
  if (zero == nullptr) BadFormat();
  const size_t name_length = size_t(zero - (data + 3));
  std::string name(reinterpret_cast<const char*>(data + 3), name_length);
  const size_t header_end = 3 + name_length + 1 + 6;
  if (size < header_end + 4) BadFormat();
  in.Skip(header_end);
  if (std::memcmp(in.Take(4), "TPF0", 4) != 0) BadFormat();
  return name;
}

class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : in_(data, size) {}

  ByteReader& In() { return in_; }

  std::string ShortString() { return in_.Chars(in_.U8()); }

  // The root component's prefix: optional flag byte, class name, name.
  std::string RootPrefix() {
    in_.Need(1);
    const uint8_t flags = *in_.Current();
    if ((flags & 0xF0) == 0xF0) {
      in_.U8();
      if (flags & 0x02) Integer(in_.U8());  // position among siblings, unused
    }
    std::string class_name = ShortString();
    ShortString();  // component name
    return class_name;
  }

  int32_t Integer(uint8_t tag) {
    switch (tag) {
      case vaInt8: return in_.I8();
      case vaInt16: return in_.I16();
      case vaInt32: return in_.I32();
      default: BadValue();
    }
  }

  bool Boolean(uint8_t tag) {
    if (tag == vaFalse) return false;
    if (tag == vaTrue) return true;
    BadValue();
  }

  std::string String(uint8_t tag) {
    if (tag == vaString) return ShortString();
    if (tag == vaLString) return in_.Chars(in_.U32());
    BadValue();
  }

  uint32_t Color(uint8_t tag) {
    if (tag != vaIdent) return uint32_t(Integer(tag));
    const std::string ident = ShortString();
    for (const auto& c : kColorIdents)
      if (SameName(c.name, ident)) return c.value;
    BadValue();
  }

  // A binary value: the bytes stay in the input, checked to be all there.
  std::pair<const uint8_t*, size_t> Binary(uint8_t tag) {
    if (tag != vaBinary) BadValue();
    const uint32_t n = in_.U32();
    return {in_.Take(n), n};
  }

  // Reads a collection value's items, calling add() for each new item,
  // item_prop(item, name) for each of its properties and end(item) after
  // the last one.
  template <typename AddItem, typename ItemProp, typename EndItem>
  void Collection(uint8_t tag, AddItem add, ItemProp item_prop, EndItem end) {
    if (tag != vaCollection) BadValue();
    for (int count = 0;; ++count) {
      uint8_t t = in_.U8();
      if (t == vaNull) return;
      if (count == kMaxCollectionItems) throw EReadError("Too many items");
      if (t == vaInt8 || t == vaInt16 || t == vaInt32) {  // order number, unused
        Integer(t);
        t = in_.U8();
      }
      if (t != vaList) BadValue();
      auto& item = add();
      for (;;) {
        std::string name = ShortString();
        if (name.empty()) break;
        item_prop(item, name);
      }
      end(item);
    }
  }

 private:
  ByteReader in_;
};

// What the items of a picture collection read so far hold in all.
struct PictureBudget {
  uint64_t pixels = 0;
  int64_t patterns = 0;
};

void ReadPictureItemProp(Reader& r, TPictureCollectionItem& item, const std::string& name,
                         const PictureBudget& used) {
  const Prop& p = Resolve(kPictureItem, name);
  const uint8_t tag = r.In().U8();
  switch (p.target) {
    case Target::PicName: item.Name = r.String(tag); break;
    case Target::PicPatternHeight: item.PatternHeight = r.Integer(tag); break;
    case Target::PicPatternWidth: item.PatternWidth = r.Integer(tag); break;
    case Target::PicSkipHeight: item.SkipHeight = r.Integer(tag); break;
    case Target::PicSkipWidth: item.SkipWidth = r.Integer(tag); break;
    case Target::PicSystemMemory: item.SystemMemory = r.Boolean(tag); break;
    case Target::PicTransparent: item.Transparent = r.Boolean(tag); break;
    case Target::PicTransparentColor: item.TransparentColor = r.Color(tag); break;
    case Target::PicData: {
      auto [data, size] = r.Binary(tag);
      LoadPictureData(item.Picture, data, size, kMaxCollectionPixels - used.pixels);
      break;
    }
    default: BadValue();  // an object given a plain value
  }
}

void ReadWaveItemProp(Reader& r, TWaveCollectionItem& item, const std::string& name) {
  const Prop& p = Resolve(kWaveItem, name);
  const uint8_t tag = r.In().U8();
  switch (p.target) {
    case Target::WavName: item.Name = r.String(tag); break;
    case Target::WavLooped: item.Looped = r.Boolean(tag); break;
    case Target::WavMaxPlayingCount: item.SetMaxPlayingCount(r.Integer(tag)); break;
    case Target::WavData: {
      auto [data, size] = r.Binary(tag);
      item.Wave.LoadFromBytes(data, size);
      break;
    }
    default: BadValue();
  }
}

// ---- writing -----------------------------------------------------------------

void PutShortString(std::vector<uint8_t>& out, std::string_view s) {
  if (s.size() > 255) throw std::invalid_argument("short string longer than 255 bytes");
  PutU8(out, uint8_t(s.size()));
  PutBytes(out, s.data(), s.size());
}

void PutInteger(std::vector<uint8_t>& out, int32_t v) {
  if (v >= -128 && v <= 127) {
    PutU8(out, vaInt8);
    PutU8(out, uint8_t(v));
  } else if (v >= -32768 && v <= 32767) {
    PutU8(out, vaInt16);
    platform::put_le16(out, uint16_t(v));
  } else {
    PutU8(out, vaInt32);
    platform::put_le32(out, uint32_t(v));
  }
}

void PutString(std::vector<uint8_t>& out, const std::string& s) {
  if (s.size() <= 255) {
    PutU8(out, vaString);
    PutShortString(out, s);
  } else {
    PutU8(out, vaLString);
    platform::put_le32(out, uint32_t(s.size()));
    PutBytes(out, s.data(), s.size());
  }
}

void PutBinary(std::vector<uint8_t>& out, const std::vector<uint8_t>& bytes) {
  PutU8(out, vaBinary);
  platform::put_le32(out, uint32_t(bytes.size()));
  PutBytes(out, bytes.data(), bytes.size());
}

void PutBoolean(std::vector<uint8_t>& out, bool b) { PutU8(out, b ? vaTrue : vaFalse); }

// The resource header, with the size of what follows left at 0 for
// FinishResource to fill in once the body is written after it.
std::vector<uint8_t> ResourceHeader(const std::string& name) {
  if (name.find('\0') != std::string::npos || 3 + name.size() + 1 > kResourceHeaderScan)
    throw std::invalid_argument("resource name too long or holding a zero byte");
  std::vector<uint8_t> out;
  PutU8(out, 0xFF);
  platform::put_le16(out, kRawDataType);
  PutBytes(out, name.data(), name.size());
  PutU8(out, 0);
  platform::put_le16(out, kMemoryFlags);
  platform::put_le32(out, 0);
  return out;
}

void FinishResource(std::vector<uint8_t>& out, size_t header_size) {
  const uint32_t body = uint32_t(out.size() - header_size);
  platform::set_le32(&out[header_size - 4], body);
}

// The resource header, the signature and the root up to the items of `List`.
std::vector<uint8_t> RootStart(const std::string& resource_name, const char* class_name,
                               size_t* header_size) {
  std::vector<uint8_t> out = ResourceHeader(resource_name);
  *header_size = out.size();
  PutBytes(out, "TPF0", 4);
  PutShortString(out, class_name);
  PutShortString(out, "");
  PutShortString(out, "List");
  PutU8(out, vaCollection);
  return out;
}

}  // namespace

// ---- public ------------------------------------------------------------------

void LoadPictureData(TDIB& dib, const uint8_t* data, size_t size, uint64_t max_pixels) {
  dib = TDIB();
  if (size == 0) return;
  ByteReader in(data, size);
  const std::string format = in.Chars(in.U8());
  if (format != "TDIB") throw EReadError("Nepodporovaný formát obrázku \"" + format + "\"");
  dib.LoadFromBytes(in.Current(), in.Remaining(), max_pixels);
}

std::vector<uint8_t> SavePictureData(const TDIB& dib) {
  std::vector<uint8_t> out;
  PutShortString(out, "TDIB");
  std::vector<uint8_t> bitmap = dib.SaveToBytes();
  PutBytes(out, bitmap.data(), bitmap.size());
  return out;
}

ContainerInfo ReadContainerInfo(const uint8_t* data, size_t size) {
  Reader r(data, size);
  ContainerInfo info;
  info.resource_name = ReadHeader(r.In());
  info.class_name = r.RootPrefix();
  return info;
}

void LoadCollectionStream(TPictureCollection& c, const uint8_t* data, size_t size) {
  c.Clear();
  c.ColorTable.clear();
  Reader r(data, size);
  ReadHeader(r.In());
  r.RootPrefix();
  for (;;) {
    const std::string name = r.ShortString();
    if (name.empty()) break;
    const Prop& p = Resolve(kPictureRoot, name);
    const uint8_t tag = r.In().U8();
    if (p.target == Target::PicList) {
      PictureBudget used;
      r.Collection(
          tag, [&]() -> TPictureCollectionItem& { return c.Add(); },
          [&](TPictureCollectionItem& item, const std::string& n) {
            ReadPictureItemProp(r, item, n, used);
          },
          [&](TPictureCollectionItem& item) {
            // Counted once the item's properties are all known, before any
            // pattern is cut; an item beyond the budget keeps no picture.
            used.pixels += uint64_t(item.Picture.Width()) * uint64_t(item.Picture.Height());
            used.patterns += item.PlannedPatternCount();
            if (used.patterns > kMaxCollectionPatterns) {
              item.Picture = TDIB();
              throw EReadError("Obrázek má příliš mnoho dílků");
            }
          });
    } else {  // List.ColorTable
      auto [bytes, n] = r.Binary(tag);
      if (n != kColorTableSize) BadValue();
      c.ColorTable.assign(bytes, bytes + n);
    }
  }
  // The child component list (always empty) follows; nothing after it is used.
  if (c.DXDraw != nullptr && c.DXDraw->Initialized()) {
    c.Initialize();
    c.Restore();
  }
}

void LoadCollectionStream(TWaveCollection& c, const uint8_t* data, size_t size) {
  c.Clear();
  Reader r(data, size);
  ReadHeader(r.In());
  r.RootPrefix();
  for (;;) {
    const std::string name = r.ShortString();
    if (name.empty()) break;
    Resolve(kWaveRoot, name);  // only `List` exists
    const uint8_t tag = r.In().U8();
    r.Collection(
        tag, [&]() -> TWaveCollectionItem& { return c.Add(); },
        [&](TWaveCollectionItem& item, const std::string& n) { ReadWaveItemProp(r, item, n); },
        [](TWaveCollectionItem&) {});
  }
  if (c.DXSound != nullptr && c.DXSound->Initialized()) {
    c.Initialize();
    c.Restore();
  }
}

void LoadCollectionFile(TPictureCollection& c, const std::string& path) {
  const std::vector<uint8_t> bytes = platform::read_file(path, kMaxContainerFileBytes);
  LoadCollectionStream(c, bytes.data(), bytes.size());
}

void LoadCollectionFile(TWaveCollection& c, const std::string& path) {
  const std::vector<uint8_t> bytes = platform::read_file(path, kMaxContainerFileBytes);
  LoadCollectionStream(c, bytes.data(), bytes.size());
}

void TPictureCollection::LoadFromFile(const std::string& path) { LoadCollectionFile(*this, path); }
void TWaveCollection::LoadFromFile(const std::string& path) { LoadCollectionFile(*this, path); }

// Properties go out in a fixed order; those at their default are left out.
std::vector<uint8_t> SaveCollectionStream(const TPictureCollection& c,
                                          const std::string& resource_name) {
  if (!c.ColorTable.empty() && c.ColorTable.size() != kColorTableSize)
    throw std::invalid_argument("colour table must hold 1024 bytes");
  size_t header_size = 0;
  std::vector<uint8_t> out = RootStart(resource_name, kPictureRootClass, &header_size);
  for (int i = 0; i < c.Count(); ++i) {
    const TPictureCollectionItem& item = c.ItemAt(i);
    PutU8(out, vaList);
    if (!item.Name.empty()) {
      PutShortString(out, "Name");
      PutString(out, item.Name);
    }
    if (item.PatternHeight != 0) {
      PutShortString(out, "PatternHeight");
      PutInteger(out, item.PatternHeight);
    }
    if (item.PatternWidth != 0) {
      PutShortString(out, "PatternWidth");
      PutInteger(out, item.PatternWidth);
    }
    if (!item.Picture.Empty()) {
      PutShortString(out, "Picture.Data");
      const std::vector<uint8_t> bitmap = item.Picture.SaveToBytes();
      PutU8(out, vaBinary);
      platform::put_le32(out, uint32_t(1 + 4 + bitmap.size()));
      PutShortString(out, "TDIB");
      PutBytes(out, bitmap.data(), bitmap.size());
    }
    if (item.SkipHeight != 0) {
      PutShortString(out, "SkipHeight");
      PutInteger(out, item.SkipHeight);
    }
    if (item.SkipWidth != 0) {
      PutShortString(out, "SkipWidth");
      PutInteger(out, item.SkipWidth);
    }
    if (item.SystemMemory) {
      PutShortString(out, "SystemMemory");
      PutBoolean(out, true);
    }
    if (!item.Transparent) {
      PutShortString(out, "Transparent");
      PutBoolean(out, false);
    }
    if (item.TransparentColor != 0) {
      PutShortString(out, "TransparentColor");
      PutInteger(out, int32_t(item.TransparentColor));
    }
    PutU8(out, vaNull);
  }
  PutU8(out, vaNull);  // end of the collection
  if (!c.ColorTable.empty()) {
    PutShortString(out, "List.ColorTable");
    PutBinary(out, c.ColorTable);
  }
  PutU8(out, vaNull);  // end of the root's properties
  PutU8(out, vaNull);  // no child components
  FinishResource(out, header_size);
  return out;
}

std::vector<uint8_t> SaveCollectionStream(const TWaveCollection& c,
                                          const std::string& resource_name) {
  size_t header_size = 0;
  std::vector<uint8_t> out = RootStart(resource_name, kWaveRootClass, &header_size);
  for (int i = 0; i < c.Count(); ++i) {
    const TWaveCollectionItem& item = c.ItemAt(i);
    PutU8(out, vaList);
    if (!item.Name.empty()) {
      PutShortString(out, "Name");
      PutString(out, item.Name);
    }
    if (item.Looped) {
      PutShortString(out, "Looped");
      PutBoolean(out, true);
    }
    if (item.MaxPlayingCount() != 0) {
      PutShortString(out, "MaxPlayingCount");
      PutInteger(out, item.MaxPlayingCount());
    }
    if (!item.Wave.Empty()) {
      PutShortString(out, "Wave.WAVE");
      PutBinary(out, item.Wave.SaveToBytes());
    }
    PutU8(out, vaNull);
  }
  PutU8(out, vaNull);  // end of the collection
  PutU8(out, vaNull);  // end of the root's properties
  PutU8(out, vaNull);  // no child components
  FinishResource(out, header_size);
  return out;
}

}  // namespace media
