#pragma once
// Picture and sound container files: reading into a collection and writing a
// collection back, byte for byte in the layout the reader takes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "media/dib.h"

namespace media {

class TPictureCollection;
class TWaveCollection;

// The largest container file LoadCollectionFile reads.
inline constexpr uint64_t kMaxContainerFileBytes = uint64_t(64) << 20;
// What one picture collection read from a container may hold in all: the
// decoded pixels of its pictures and the patterns they are cut into. The
// game's own in-game pictures use about a quarter of the pixels and under
// one percent of the patterns. Beyond either the load fails ("Obrázek je
// příliš velký", "Obrázek má příliš mnoho dílků").
inline constexpr uint64_t kMaxCollectionPixels = uint64_t(1) << 24;
inline constexpr int64_t kMaxCollectionPatterns = int64_t(1) << 16;
// The most items a collection read from a container may hold (the game's
// hold 6 to 41). Each costs a few hundred bytes even when empty, and an
// empty item takes two bytes of the file: beyond this the load fails ("Too
// many items").
inline constexpr int kMaxCollectionItems = 1 << 16;

// Read a container. The collection is cleared first; on failure it keeps the
// items read so far and the error (EReadError, EDIBError, EWaveError, or
// std::runtime_error for the file system) propagates. When the collection's
// display or sound device is initialised, the collection is initialised and
// restored before returning.
void LoadCollectionFile(TPictureCollection& c, const std::string& path);
void LoadCollectionFile(TWaveCollection& c, const std::string& path);
void LoadCollectionStream(TPictureCollection& c, const uint8_t* data, size_t size);
void LoadCollectionStream(TWaveCollection& c, const uint8_t* data, size_t size);

// Write a container (the resource name goes into the header).
std::vector<uint8_t> SaveCollectionStream(const TPictureCollection& c,
                                          const std::string& resource_name = "DATA");
std::vector<uint8_t> SaveCollectionStream(const TWaveCollection& c,
                                          const std::string& resource_name = "DATA");

// The resource name and the root's class name of a container
// ("TPictureCollectionComponent" or "TWaveCollectionComponent"), for tools
// that must tell the kinds apart and write the same header back. Throws
// EReadError like the loaders.
struct ContainerInfo {
  std::string resource_name;
  std::string class_name;
};
ContainerInfo ReadContainerInfo(const uint8_t* data, size_t size);

// Picture data as stored in `Picture.Data`: the class name "TDIB" then the
// bitmap (used also for the built-in splash). Empty data gives an empty
// picture; a class name other than "TDIB" fails with EReadError, a picture
// of more than `max_pixels` pixels with EDIBError.
std::vector<uint8_t> SavePictureData(const TDIB& dib);
void LoadPictureData(TDIB& dib, const uint8_t* data, size_t size,
                     uint64_t max_pixels = TDIB::kMaxPixels);

}  // namespace media
