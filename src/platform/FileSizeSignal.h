#pragma once

namespace pm {

// A write past the file-size limit (ulimit -f) raises SIGXFSZ, which kills the process without a
// word and leaves its temporary files behind. Ignored, the write fails with "File too large", and
// the program says so and cleans up like after any failed write. Call once at start.
void ignoreFileSizeSignal();

} // namespace pm
