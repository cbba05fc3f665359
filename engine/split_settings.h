// The five values of the main window that the split plan, the split job, the
// output gate, the controls and the settings file share.
#pragma once

#include <cstdint>

namespace qn::engine {

struct SplitSettings {
  // Whole numbers held as doubles: the source may be 2^32 bytes or longer,
  // and the rounding of typed sizes works on the same type the window shows.
  double lngFileSize = -1;   // source length in bytes; -1 until a source is chosen
  double lngFileCount = 0;   // part count of the whole source; 0 when there is no plan
  double lngSpltSize = 0;    // part size in bytes, 0 to 2,147,483,647; 0 means not set
  uint8_t byteSpltSize = 0;  // size option: 0 1.44 MB, 1 1.25 MB, 2 650 MB, 3 free size
  uint8_t byteHmny = 0;      // existing output file: 0 overwrite, 1 skip, 2 ask
};

}  // namespace qn::engine
