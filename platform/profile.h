// The user's profile (WIN.INI): one value by section and key.
#pragma once

#include <cstddef>
#include <string_view>

namespace vellumar::platform {

// Copies the value of `key` in `section` of the user's profile, or
// `defaultValue` when the profile, the section or the key is missing, into
// `dest`, cut to capacity - 1 characters and NUL-terminated. Returns the
// number of characters copied. Nothing is written when capacity is 0.
//
// The profile is the file named by WININI when that is set and not empty,
// else $XDG_CONFIG_HOME/win.ini, else $HOME/.config/win.ini.
std::size_t ReadProfileString(const char* section, const char* key, const char* defaultValue,
                              char* dest, std::size_t capacity);

// The same lookup in the text of a profile; exposed for tests and tools.
// Section and key names ignore ASCII case; blanks around names and values
// are trimmed; one pair of matching quotes around the whole value is removed;
// ';' starts a comment only as the first character of a line (after
// blanks); the first matching section, and in it the first matching key, win.
// Returns false when the key is not there.
bool FindProfileValue(std::string_view text, std::string_view section, std::string_view key,
                      std::string_view& value);

// The path of the user's profile, or an empty view when none can be named.
// The view stays valid until the environment changes.
std::string_view ProfilePath(char* buffer, std::size_t capacity);

}  // namespace vellumar::platform
