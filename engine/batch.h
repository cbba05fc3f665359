// The rejoin batch file: COPY /B lines that join the parts into a copy of
// the source with nothing but the command interpreter.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/system.h"

namespace qn::engine {

// The batch text, UTF-8, without the line end that follows its last line.
// Line 1 is "COPY /B " + the parts 001 to 069 joined by "+" + " " + the quoted
// target; each further line starts from the target itself and adds the next
// 70 parts. Parts carry no folder; a part is quoted only when its name holds
// a character cmd or COPY would take apart (blank, "&", "^", "(", "+", ...).
// A "%" is doubled, since cmd would otherwise read it as a variable.
std::string RejoinBatchText(std::string_view bareStem, std::string_view targetName, int64_t count);

// The output gate (see media::PrepareOutputFile). `created` may be null.
using OutputGate =
    std::function<int32_t(std::string_view stem, std::string_view name, std::string_view protectedPath,
                          int64_t requiredBytes, uint8_t* skip, std::unique_ptr<platform::File>* created)>;

struct BatchRequest {
  std::string_view stem;        // the output stem, "D:\BACKUP\ANNUAL~1."
  std::string_view longName;    // the source's file name as the window shows it
  std::string_view sourcePath;  // the source's short path, also the protected path
  int64_t count = 0;            // parts of the whole file
  bool flush = false;           // on a removable disk: flushed before it is closed
};

// What writing the batch file came to: the gate's result, or the failure
// that stopped it (then gateResult is meaningless).
struct BatchOutcome {
  int32_t gateResult = 0;
  platform::ErrorCode error = platform::err::kNone;
};

// Builds the text, asks the gate for stem + "bat" with the text's length in
// the ANSI code page plus 2 for the final line end, and unless the gate says
// otherwise writes the text in the ANSI code page with CR LF line ends. When
// the code page cannot spell the long name, the target is the source's short
// file name instead, so the joined file still gets a name that exists.
[[nodiscard]] BatchOutcome WriteRejoinBatch(platform::System& sys, const BatchRequest& request,
                                            const std::function<void(std::string_view)>& showStatus,
                                            const OutputGate& gate);

}  // namespace qn::engine
