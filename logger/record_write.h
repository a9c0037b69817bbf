// The write of one record into the block: shared by the sender and the fuzz
// target that checks it against blocks of every size.
#pragma once

#include <cstdarg>
#include <cstddef>

namespace vellumar::logger {

// Writes the prefix and the formatted text, with one NUL, into `area` of
// `capacity` bytes (at least 1). What does not fit is cut off; the NUL is
// always there. A null prefix or format is taken as empty.
void WriteRecord(char* area, std::size_t capacity, const char* lpszPrefix, const char* lpszFormat,
                 va_list argList) noexcept;

}  // namespace vellumar::logger
