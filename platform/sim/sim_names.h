// Name rules of the simulated machine: letter case, 8.3 short names,
// wildcards, and code page 932.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace qn::platform::sim {

// Upper-cases ASCII letters; the key by which names are compared.
std::string Fold(std::string_view name);

// True when `name` may be stored on a Windows volume (no \ / : * ? " < > |,
// no control characters, not empty, not "." or "..").
bool IsValidLongName(std::string_view name);

// True when `name` is a valid 8.3 name as written (lower case allowed): one
// to eight characters, optionally a dot and one to three more, counted in
// code page 932 bytes, no blanks and none of + , ; = [ ].
bool IsValidShortName(std::string_view name);

// The generated short name of a long name: the first usable characters of
// the base (upper-cased, blanks and dots dropped, + , ; = [ ] and characters
// code page 932 cannot spell as "_"), "~", the lowest number that gives a
// name for which `taken` (given the upper-cased name) is false, then "." and
// the first three usable characters of the extension.
std::string MakeShortName(std::string_view longName, const std::function<bool(const std::string&)>& taken);

// Matches a name against a pattern with * and ?, ignoring letter case;
// "*.*" matches every name.
bool WildcardMatch(std::string_view pattern, std::string_view name);

// UTF-8 to code page 932; characters it cannot spell (and broken UTF-8)
// become "?" and make the result false.
bool Utf8ToCp932(std::string_view utf8, std::string* out);
// Code page 932 to UTF-8; undecodable bytes become "?".
std::string Cp932ToUtf8(std::string_view bytes);

// The length of UTF-8 text in UTF-16 code units (what a W buffer holds).
size_t Utf16Length(std::string_view utf8);

}  // namespace qn::platform::sim
