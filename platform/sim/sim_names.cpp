#include "platform/sim/sim_names.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace qn::platform::sim {
namespace {

// Length of the UTF-8 sequence that starts with `lead` (1 for a stray byte).
size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) return 2;
  if ((lead & 0xF0) == 0xE0) return 3;
  if ((lead & 0xF8) == 0xF0) return 4;
  return 1;
}

// The characters of UTF-8 text, each as its own string.
std::vector<std::string> Characters(std::string_view text) {
  std::vector<std::string> chars;
  for (size_t i = 0; i < text.size();) {
    size_t length = SequenceLength(static_cast<unsigned char>(text[i]));
    if (i + length > text.size()) length = text.size() - i;
    chars.emplace_back(text.substr(i, length));
    i += length;
  }
  return chars;
}

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (Ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // iconv_open reports failure as (iconv_t)-1.
  bool Ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }  // NOLINT(performance-no-int-to-ptr)

  // Converts `in`; an unconvertible sequence becomes "?" and makes the result
  // false. `skipUtf8` says how far to skip: one UTF-8 character or one byte.
  bool Run(std::string_view in, std::string* out, bool skipUtf8) {
    out->clear();
    if (!Ok()) {
      *out = std::string(in.size(), '?');
      return in.empty();
    }
    bool exact = true;
    std::vector<char> buffer(in.size() * 4 + 16);
    char* inPtr = const_cast<char*>(in.data());
    size_t inLeft = in.size();
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    while (inLeft > 0) {
      char* outPtr = buffer.data();
      size_t outLeft = buffer.size();
      const size_t rc = iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft);
      out->append(buffer.data(), static_cast<size_t>(outPtr - buffer.data()));
      if (rc != static_cast<size_t>(-1)) break;
      if (errno == E2BIG) continue;
      size_t skip = skipUtf8 ? SequenceLength(static_cast<unsigned char>(*inPtr)) : 1;
      if (skip > inLeft) skip = inLeft;
      inPtr += skip;
      inLeft -= skip;
      out->push_back('?');
      exact = false;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    return exact;
  }

 private:
  iconv_t cd_;
};

bool IsAsciiIn(char c, std::string_view set) { return set.find(c) != std::string_view::npos; }

constexpr std::string_view kNeverInNames = "\\/:*?\"<>|";
constexpr std::string_view kNotInShortNames = "+,;=[] ";

// Code page 932 byte count of one character, 0 when it has no spelling there.
size_t Cp932Length(std::string_view character) {
  if (character.size() == 1 && static_cast<unsigned char>(character[0]) < 0x80) return 1;
  std::string bytes;
  return Utf8ToCp932(character, &bytes) ? bytes.size() : 0;
}

// The usable characters of a base or extension, at most `limit` bytes long.
std::string ShortPart(std::string_view part, size_t limit) {
  std::string result;
  size_t bytes = 0;
  for (std::string ch : Characters(part)) {
    if (ch == " " || ch == ".") continue;
    size_t length = Cp932Length(ch);
    if (length == 0 || (ch.size() == 1 && IsAsciiIn(ch[0], kNotInShortNames))) {
      ch = "_";
      length = 1;
    }
    if (bytes + length > limit) break;
    result += Fold(ch);
    bytes += length;
  }
  return result;
}

}  // namespace

std::string Fold(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return folded;
}

bool IsValidLongName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || IsAsciiIn(c, kNeverInNames)) return false;
  }
  return true;
}

bool IsValidShortName(std::string_view name) {
  if (!IsValidLongName(name)) return false;
  for (char c : name) {
    if (IsAsciiIn(c, kNotInShortNames)) return false;
  }
  const size_t dot = name.find('.');
  if (dot != std::string_view::npos && name.find('.', dot + 1) != std::string_view::npos) return false;
  std::string base;
  std::string ext;
  if (!Utf8ToCp932(name.substr(0, dot), &base)) return false;
  if (dot != std::string_view::npos && !Utf8ToCp932(name.substr(dot + 1), &ext)) return false;
  if (base.empty() || base.size() > 8) return false;
  return dot == std::string_view::npos || (!ext.empty() && ext.size() <= 3);
}

std::string MakeShortName(std::string_view longName, const std::function<bool(const std::string&)>& taken) {
  std::string_view name = longName;
  while (name.starts_with('.')) name.remove_prefix(1);
  const size_t dot = name.rfind('.');
  const std::string_view base = dot == std::string_view::npos ? name : name.substr(0, dot);
  const std::string ext = dot == std::string_view::npos ? "" : ShortPart(name.substr(dot + 1), 3);
  for (int n = 1;; ++n) {
    const std::string number = "~" + std::to_string(n);
    std::string candidate = ShortPart(base, std::min<size_t>(6, 8 - number.size()));
    if (candidate.empty()) candidate = "_";
    candidate += number;
    if (!ext.empty()) candidate += "." + ext;
    if (!taken(Fold(candidate))) return candidate;
  }
}

bool WildcardMatch(std::string_view pattern, std::string_view name) {
  if (pattern == "*.*" || pattern == "*") return true;
  const std::vector<std::string> p = Characters(Fold(pattern));
  const std::vector<std::string> s = Characters(Fold(name));
  size_t pi = 0;
  size_t si = 0;
  size_t starP = std::string::npos;
  size_t starS = 0;
  while (si < s.size()) {
    if (pi < p.size() && (p[pi] == "?" || p[pi] == s[si])) {
      ++pi;
      ++si;
    } else if (pi < p.size() && p[pi] == "*") {
      starP = pi++;
      starS = si;
    } else if (starP != std::string::npos) {
      pi = starP + 1;
      si = ++starS;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == "*") ++pi;
  return pi == p.size();
}

bool Utf8ToCp932(std::string_view utf8, std::string* out) {
  const bool ascii = std::all_of(utf8.begin(), utf8.end(), [](char c) { return (c & 0x80) == 0; });
  if (ascii) {
    *out = std::string(utf8);
    return true;
  }
  thread_local Converter converter("CP932", "UTF-8");
  return converter.Run(utf8, out, true);
}

std::string Cp932ToUtf8(std::string_view bytes) {
  thread_local Converter converter("UTF-8", "CP932");
  std::string out;
  (void)converter.Run(bytes, &out, false);
  return out;
}

size_t Utf16Length(std::string_view utf8) {
  size_t units = 0;
  for (const std::string& ch : Characters(utf8)) units += ch.size() == 4 ? 2 : 1;
  return units;
}

}  // namespace qn::platform::sim
