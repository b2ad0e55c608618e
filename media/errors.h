#pragma once
#include <exception>
#include <stdexcept>
#include <string>

namespace media {

// Errors the media services raise. Messages are the system's own texts, e.g.
// "Surface cannot be made", "Invalid stream format".
class EMediaError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class EDXDrawError : public EMediaError {  // display and surfaces
 public:
  using EMediaError::EMediaError;
};
class EDXSoundError : public EMediaError {  // sound device and buffers
 public:
  using EMediaError::EMediaError;
};
class EReadError : public EMediaError {  // container layout and properties
 public:
  using EMediaError::EMediaError;
};
class EDIBError : public EMediaError {  // picture data
 public:
  using EMediaError::EMediaError;
};
class EWaveError : public EMediaError {  // sound data
 public:
  using EMediaError::EMediaError;
};
class EMCIDeviceError : public EMediaError {  // music player
 public:
  using EMediaError::EMediaError;
};

// The text a player is shown for an error. The media services' own texts
// are the components' (English, e.g. "Invalid stream format"): they get a
// Czech sentence in front that says what failed, and stay after it in
// brackets. Any other error's text is the programs' own and already Czech.
std::string ErrorTextForPlayer(const std::exception& e);

// "%s cannot be made" style messages with their one argument filled in.
std::string FormatMessage(const char* format, const std::string& arg);
std::string FormatMessage(const char* format, int arg);

}  // namespace media
