#pragma once

namespace tarncrypt
{
/// Records the name of a temporary file for RemovePartialOutputs(). Returns
/// a slot to release, or -1 when all slots are taken (the file is then not
/// removed on a signal).
int RegisterPartialOutput(const char* path);
/// Forgets the name of slot `slot` (-1 does nothing).
void ReleasePartialOutput(int slot);
} // namespace tarncrypt
