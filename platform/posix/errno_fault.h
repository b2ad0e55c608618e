// The file services' fault for a POSIX error number, shared by the POSIX
// files and folder entries.
#pragma once

#include "platform/file_names.h"

namespace platform {

FileFault fault_of_errno(int err);

}  // namespace platform
