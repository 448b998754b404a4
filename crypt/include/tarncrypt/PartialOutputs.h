#pragma once
#include "tarncrypt/Export.h"

namespace tarncrypt
{
/// Removes the temporary files of the file calls in progress, so that a
/// program ended by a signal leaves no partial output behind; the calls it
/// interrupts fail. Outputs are written as unnamed files where the file
/// system allows, so there is usually nothing to remove.
///
/// Async-signal-safe: meant for a SIGINT or SIGTERM handler that then ends
/// the process.
TARNCRYPT_API void RemovePartialOutputs();
} // namespace tarncrypt
