// Serialises the directory of a package being written.
#pragma once

#include "byte_writer.h"
#include "writer.h"
#include "writer_plan.h"

namespace hl::write {

// Appends the directory header, entries, name table and hash table (no copy or local table).
void appendDirectory(const Plan& plan, const Options& options, ByteWriter& out);

}  // namespace hl::write
