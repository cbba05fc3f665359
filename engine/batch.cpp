#include "engine/batch.h"

#include <memory>

#include "engine/part_names.h"
#include "media/gate.h"

namespace qn::engine {
namespace {

constexpr int64_t kPartsPerLine = 70;
constexpr std::string_view kLineEnd = "\r\n";

// Characters that make cmd split a word or a command, or that COPY reads as
// the joining of two sources. All can stand in a short name ("R&DPLA~1.TXT")
// or in a long stem on a volume without short names.
constexpr std::string_view kNeedsQuotes = " \t&^(),;=+";

std::string EscapePercent(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    escaped += c;
    if (c == '%') escaped += '%';
  }
  return escaped;
}

// A part's name as cmd must read it: quoted only when it has to be, so the
// batch files of plain names stay as they always were.
std::string PartName(std::string_view bareStem, int64_t n) {
  std::string name = EscapePercent(bareStem);
  name.append(PartNumberText(n));
  if (bareStem.find_first_of(kNeedsQuotes) == std::string_view::npos) return name;
  name.insert(name.begin(), '"');
  name.append(1, '"');
  return name;
}

}  // namespace

std::string RejoinBatchText(std::string_view bareStem, std::string_view targetName, int64_t count) {
  // Built by appending: GCC 12 on i686 misreads chains of + as overlapping copies.
  std::string target(1, '"');
  target.append(EscapePercent(targetName)).append(1, '"');
  std::string text("COPY /B ");
  text.append(PartName(bareStem, 1));
  for (int64_t i = 2; i <= count; ++i) {
    if (i % kPartsPerLine == 0) {
      text.append(1, ' ').append(target).append(kLineEnd).append("COPY /B ").append(target);
    }
    text.append(1, '+').append(PartName(bareStem, i));
  }
  text.append(1, ' ').append(target);
  return text;
}

BatchOutcome WriteRejoinBatch(platform::System& sys, const BatchRequest& request,
                              const std::function<void(std::string_view)>& showStatus,
                              const OutputGate& gate) {
  BatchOutcome outcome;
  showStatus("Making Batch File");
  const std::string bareStem = TextAfterLast(request.stem, "\\");
  bool exact = true;
  std::string ansi = sys.ToAnsi(RejoinBatchText(bareStem, request.longName, request.count), &exact);
  if (!exact) {
    // A name the code page cannot spell would make COPY create a wrongly
    // named file, or none; the short name always exists.
    ansi =
        sys.ToAnsi(RejoinBatchText(bareStem, TextAfterLast(request.sourcePath, "\\"), request.count), &exact);
  }
  ansi += kLineEnd;

  showStatus("Writing Batch File");
  uint8_t skip = 0;
  outcome.gateResult = gate(request.stem, media::kBatchName, request.sourcePath,
                            static_cast<int64_t>(ansi.size()), &skip, nullptr);
  if (skip != 0 || outcome.gateResult > 0) return outcome;

  platform::ErrorCode error = platform::err::kNone;
  std::string path(request.stem);
  path.append(media::kBatchName);
  std::unique_ptr<platform::File> file = sys.Open(path, platform::Access::kWrite, platform::Share::kNone,
                                                  platform::Disposition::kCreateAlways, &error);
  if (file == nullptr) {
    outcome.error = error != platform::err::kNone ? error : platform::err::kAccessDenied;
    return outcome;
  }
  error = file->Write(ansi.data(), ansi.size());
  // The end message may send the user to take the disk out.
  if (error == platform::err::kNone && request.flush) error = file->Flush();
  const platform::ErrorCode closed = file->Close();
  outcome.error = error != platform::err::kNone ? error : closed;
  // A joiner cut short would later join part of the file without a word.
  if (outcome.error != platform::err::kNone) (void)sys.RemoveFile(path);
  return outcome;
}

}  // namespace qn::engine
