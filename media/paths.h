// Path services: the absolute, short (8.3) and long forms of a path. The short
// form doubles as the program's existence test and as the key by which two
// texts are known to name the same file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/system.h"

namespace qn::media {

// Absolute form of `path` (GetFullPathName, 516-character buffer); "" on failure.
std::string GetFullPath(platform::System& sys, std::string_view path);
// Short form of an existing path (520-character buffer); "" exactly when the
// path does not exist (or cannot be resolved).
std::string GetShortPath(platform::System& sys, std::string_view path);
// The existing `path` with each component in its stored (long) spelling; ""
// when the path does not exist or has neither a drive nor a network prefix.
std::string GetLongPath(platform::System& sys, std::string_view path);
// True when `path` exists: it has a short form.
bool Exists(platform::System& sys, std::string_view path);

// True when `path` names an existing folder.
bool IsFolder(platform::System& sys, std::string_view path);

// The absolute long form the window shows for an existing `path`; "" when
// the path does not exist or its absolute form is too long for the buffer.
std::string NormalPath(platform::System& sys, std::string_view path);

// `path` with a backslash at its end, added unless it has one already.
std::string WithBackslash(std::string_view path);

// The text before its first NUL.
std::string TrimAtNull(std::string_view text);
// A length the platform gave as a signed 32-bit number, read as unsigned.
double ToUnsignedSize(int32_t length);

}  // namespace qn::media
