// Where the configured application's two data files lie. Composed once by
// start-up, before any export can run, and only read afterwards.
#pragma once

#include <cstddef>

namespace vellumar {

inline constexpr std::size_t kPathBufferSize = 256;
inline constexpr char kInfoFileSuffix[] = "\\vers_res.inf";
inline constexpr char kStampFileSuffix[] = "\\app.ver";
inline constexpr char kNoDirectory[] = "none";

extern char g_szAppDirectory[kPathBufferSize];   // the profile value as read
extern char g_szInfoFilePath[kPathBufferSize];   // directory + "\vers_res.inf", or empty
extern char g_szStampFilePath[kPathBufferSize];  // directory + "\app.ver", or empty

// Composes both paths from g_szAppDirectory. A value of "none" in any letter
// case leaves both empty; so does a directory too long for either path, so
// that the paths are always both empty or both whole.
void ComposeDataPaths() noexcept;

}  // namespace vellumar
