#pragma once
// The kernel's inputs taken from the document on the user-interface thread.

#include "mixdown/Mixdown.h"

namespace velmora {

class CVelmoraDoc;
struct ChannelSlot;

// One slot as the kernel reads it; data is null for an empty slot.
MixSource MixSourceOf(const ChannelSlot& slot);

// A copy of everything the kernel reads: the slots' samples and parameters, the fades, the mix
// format, length, block length and the position the mixdown starts from.
MixJob MakeMixJob(const CVelmoraDoc& doc);

}  // namespace velmora
