#pragma once
// The container tool: list a picture or sound container, unpack it into
// .bmp/.wav files and a manifest, and pack a manifest back into a container.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace media {
class TPictureCollectionItem;
}

namespace xxx {

// Patterns the item is cut into (0 with no picture), computed the way the
// display cuts them, so no display is needed.
int PatternCount(const media::TPictureCollectionItem& item);

// What a container holds. Without a given kind it is taken from the content
// (see ContainerKind).
enum class Kind { Pictures, Sounds };
Kind ContainerKind(const std::vector<uint8_t>& container, std::optional<Kind> forced = {});

// One line per item.
std::string List(const std::vector<uint8_t>& container, std::optional<Kind> kind = {});

// Writes DIR/manifest.txt and one NNN.bmp or NNN.wav per item that has one.
void Unpack(const std::string& container_path, const std::string& dir,
            std::optional<Kind> kind = {});

// Reads a manifest (file names in it are relative to its folder) and writes
// the container.
void Pack(const std::string& manifest_path, const std::string& container_path);

// BMP files: the file header plus the bitmap part of picture data. Reading
// also takes the larger headers image editors write.
std::vector<uint8_t> BitmapToBmpFile(const std::vector<uint8_t>& bitmap);
std::vector<uint8_t> BmpFileToBitmap(const std::vector<uint8_t>& file);

// Command line: list / unpack / pack. Returns the exit status.
int Main(int argc, char** argv);

}  // namespace xxx
