// The output gate: before the split job creates an output file (a part or the
// rejoin batch file) it asks here whether and how that file may be created.
// The gate prompts for disks, checks room, applies the overwrite policy,
// refuses to touch the source and makes sure the output folder still exists.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/dialogs.h"
#include "platform/system.h"

namespace qn::media {

// What the gate answers.
namespace gate {
inline constexpr int32_t kGo = 0;          // go on (create the file unless the skip flag is set)
inline constexpr int32_t kFailed = 1;      // cannot be prepared, or the user cancelled a retry
inline constexpr int32_t kAborted = 2;     // the user chose to abort the split
inline constexpr int32_t kIsSource = 999;  // the output path is the source; the user has been told
}  // namespace gate

// The output folder named in the window is gone: the gate's retry prompt,
// and the split's own refusal before it starts.
inline constexpr std::string_view kNoOutputFolder = "出力先が見つかりません";

// The name of the rejoin batch file behind the stem. The batch file follows
// the parts wherever they went, so its output folder is not asked for.
inline constexpr std::string_view kBatchName = "bat";

// The overwrite policy (byteHmny): any value other than these acts as kOverwrite.
namespace policy {
inline constexpr uint8_t kOverwrite = 0;
inline constexpr uint8_t kSkip = 1;
inline constexpr uint8_t kAsk = 2;
}  // namespace policy

// What the gate learns of the output drive that cannot change while one
// split runs: its type, and the total size of a drive that is not
// removable. A run keeps one for all its calls, so neither is asked per part.
struct DriveFacts {
  std::string drive;  // what the facts are about
  std::optional<int32_t> type;
  std::optional<double> capacity;
};

// What the gate reads of the window on each call.
struct GateInputs {
  uint8_t byteHmny = policy::kOverwrite;
  std::string_view outputFolder;  // the text of the output-folder field
  // Records the number of a failure that has no message of its own; empty: nothing to record.
  std::function<void(platform::ErrorCode)> recordError;
  DriveFacts* run = nullptr;  // the run's drive facts; null: ask on every call
};

// Decides whether the file stem + name may be created. Sets *skip to 0, or
// to 1 when the file is to be left out (policy skip, or the user declined to
// overwrite). Gives gate::kGo, kFailed, kAborted or kIsSource; every prompt is
// a modal box with an empty title, and every answer that asks to try again
// starts the checks over, so a changed disk or re-created folder is seen.
// Never deletes the file `protectedPath` names, however its spelling differs.
// With `created`, a file that is not there yet is created by the gate as its
// existence test (new, for writing, shared with nobody) and handed over
// through *created, so the name is looked up once, not twice; *created stays
// empty when the caller is to create the file itself.
[[nodiscard]] int32_t PrepareOutputFile(platform::System& sys, platform::Dialogs& dialogs,
                                        const GateInputs& inputs, std::string_view stem,
                                        std::string_view name, std::string_view protectedPath,
                                        int64_t requiredBytes, uint8_t* skip,
                                        std::unique_ptr<platform::File>* created = nullptr);

// True when two path texts name one file: by the file system's own identity,
// or, when that cannot be had, by their short forms compared without regard
// to letter case.
bool NamesSameFile(platform::System& sys, std::string_view path, std::string_view other);

}  // namespace qn::media
