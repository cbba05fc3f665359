// UTF-8 <-> UTF-16 at the Win32 edge. Only platform/win32 and Windows-only
// program and test code include this: std::wstring is two bytes a character
// there and nowhere else.
#pragma once

#include <string>
#include <string_view>

namespace qn::platform::win32 {

// UTF-8 to UTF-16. Invalid UTF-8 sequences become U+FFFD, so a damaged text
// still names nothing rather than something else.
std::wstring Widen(std::string_view utf8);
// UTF-16 to UTF-8; lone surrogates become U+FFFD.
std::string Narrow(std::wstring_view utf16);

}  // namespace qn::platform::win32
