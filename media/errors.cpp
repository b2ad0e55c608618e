#include "media/errors.h"

#include <cstdio>
#include <vector>

namespace media {

std::string ErrorTextForPlayer(const std::exception& e) {
  const char* lead = nullptr;
  if (dynamic_cast<const EDXDrawError*>(&e))
    lead = "Obraz hry nelze zobrazit";
  else if (dynamic_cast<const EDXSoundError*>(&e))
    lead = "Zvuky hry nelze přehrát";
  else if (dynamic_cast<const EMCIDeviceError*>(&e))
    lead = "Hudbu nelze přehrát";
  else if (dynamic_cast<const EReadError*>(&e) || dynamic_cast<const EDIBError*>(&e) ||
           dynamic_cast<const EWaveError*>(&e))
    lead = "Data jsou poškozená";
  if (lead == nullptr) return e.what();
  return std::string(lead) + " (" + e.what() + ").";
}

std::string FormatMessage(const char* format, const std::string& arg) {
  std::string out;
  for (const char* p = format; *p; ++p) {
    if (p[0] == '%' && p[1] == 's') {
      out += arg;
      ++p;
    } else {
      out += *p;
    }
  }
  return out;
}

std::string FormatMessage(const char* format, int arg) {
  std::string out;
  for (const char* p = format; *p; ++p) {
    if (p[0] == '%' && p[1] == 'd') {
      out += std::to_string(arg);
      ++p;
    } else {
      out += *p;
    }
  }
  return out;
}

}  // namespace media
