// Serialises everything of a package being written that lies in front of its data area.
#pragma once

#include <cstdint>
#include <vector>

#include "status.h"
#include "writer.h"
#include "writer_plan.h"

namespace hl::write {

// The bytes from the file header through the data block header, where the data area starts
// (for an NCF, the whole file). `checksums` holds every file's chunk checksums in item order.
Status buildMetadata(const Plan& plan, const std::vector<uint32_t>& checksums,
                     const Options& options, std::vector<uint8_t>& out);

}  // namespace hl::write
