#pragma once
// Picture and sound container files: reading into a collection and writing a
// collection back, byte for byte in the layout the reader takes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace media {

class TPictureCollection;
class TWaveCollection;

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
// picture; a class name other than "TDIB" fails with EReadError.
std::vector<uint8_t> SavePictureData(const class TDIB& dib);
void LoadPictureData(class TDIB& dib, const uint8_t* data, size_t size);

}  // namespace media
