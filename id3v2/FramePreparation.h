#pragma once
// The first half of a save: every frame's data is brought into the form its
// requested flags describe (unsynchronisation all or nothing, empty frames
// dropped, data length indicators filled in, compression and
// unsynchronisation applied or undone, unsupported requests refused or
// undone). These changes stay in the tag object even when the save fails
// later; the object then describes the same tag in its new form.

#include "SaveProgress.h"
#include "StatusWord.h"
#include "Tid3v2tag.h"

#include <cstdint>

namespace varnello {

// Returns the status word: warnings added, or an error code in the high byte.
StatusWord PrepareFrames(Tid3v2tag& tag, std::uint8_t version, SaveProgress& progress);

} // namespace varnello
