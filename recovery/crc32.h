// CRC-32 as in Ethernet and ZIP (reflected, polynomial 0xEDB88320), which the
// recovery files keep for every slice.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qn::recovery {

// The CRC of the bytes given so far continued over `bytes` more; 0 starts it.
[[nodiscard]] uint32_t Crc32(uint32_t crc, const void* data, size_t bytes);

// The same continued over `bytes` zero bytes.
[[nodiscard]] uint32_t Crc32Zeros(uint32_t crc, uint64_t bytes);

}  // namespace qn::recovery
