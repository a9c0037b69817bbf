// Finding one value in the text of a profile (WIN.INI), already read: no I/O
// here, so every build reads its profile by the same rules, and tests give
// the text directly.
#pragma once

#include <string_view>

namespace vellumar::platform {

// Looks up `key` in `section` of `text` as the Windows profile reader does:
// - a UTF-8 byte-order mark at the start of the text is skipped;
// - a line ends at CR, at LF, or at CR LF;
// - blanks (space, tab, vertical tab, form feed) and Ctrl-Z (0x1A, the old
//   end-of-file mark of DOS editors) around names and values are trimmed;
// - ';' starts a comment only as the first character of a line (after blanks);
// - a line that starts with '[' and holds a ']' names a section: the name runs
//   to the last ']' of the line; a line with '[' but no ']' is an ordinary line;
// - section and key names ignore ASCII case;
// - one pair of matching quotes (" or ') around the whole value is removed;
// - the first matching section, and in it the first matching key, win.
// Values are bytes, never transcoded. Returns false when the key is not
// there; otherwise `value` views the value inside `text`.
bool FindProfileValue(std::string_view text, std::string_view section, std::string_view key,
                      std::string_view& value) noexcept;

}  // namespace vellumar::platform
