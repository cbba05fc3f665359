#include "engine/part_names.h"

#include "media/paths.h"

namespace qn::engine {

std::string TextAfterLast(std::string_view text, std::string_view separator) {
  const size_t at = text.rfind(separator);
  if (at == std::string_view::npos) return "";
  return std::string(text.substr(at + separator.size()));
}

std::string PartNumberText(int64_t n) {
  std::string digits = std::to_string(n);
  if (n >= 0 && digits.size() < 3) digits.insert(0, 3 - digits.size(), '0');
  return digits;
}

std::string OutputStem(std::string_view sourcePath, bool sameFolder, std::string_view outputFolder) {
  std::string stem = sameFolder ? std::string(sourcePath) : TextAfterLast(sourcePath, "\\");
  const size_t nameStart = sameFolder ? stem.rfind('\\') : std::string::npos;
  const size_t dot = stem.rfind('.');
  if (dot != std::string::npos && (nameStart == std::string::npos || dot > nameStart)) stem.erase(dot);
  stem += '.';
  if (!sameFolder) stem.insert(0, media::WithBackslash(outputFolder));
  return stem;
}

}  // namespace qn::engine
