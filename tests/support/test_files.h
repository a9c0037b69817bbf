// The suites' earlier names for the temporary files (support/temp_files.h),
// kept until every suite uses that header itself.
#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/temp_files.h"

namespace vellumar::testing {

// The number of descriptors this process holds open right now.
inline int OpenDescriptorCount() { return OpenHandleCount(); }

}  // namespace vellumar::testing
