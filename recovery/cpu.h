// Whether the recovery arithmetic may take its faster paths for newer
// processors. Besides the instructions themselves (asked of the processor
// at first use), the system must keep the vector registers across task
// switches: 64-bit Windows always does, 32-bit Windows only from Me and
// 2000 on. Under 95, 98 or NT 4.0 the first such instruction would end the
// program, so on 32-bit x86 the paths stay closed until the program,
// knowing its system, opens them.
#pragma once

namespace qn::recovery {

void AllowVectorUnit(bool allowed);
[[nodiscard]] bool VectorUnitAllowed();

}  // namespace qn::recovery
