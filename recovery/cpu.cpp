#include "recovery/cpu.h"

#include <atomic>

namespace qn::recovery {
namespace {

#if defined(__x86_64__)
std::atomic<bool> allowed{true};
#else
std::atomic<bool> allowed{false};
#endif

}  // namespace

void AllowVectorUnit(bool value) { allowed = value; }

bool VectorUnitAllowed() { return allowed; }

}  // namespace qn::recovery
