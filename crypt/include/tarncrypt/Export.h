#pragma once

/// Marks the classes and functions that libtarncrypt exports. The library is
/// built with hidden default visibility, so anything without this mark stays
/// internal to it.
#define TARNCRYPT_API __attribute__((visibility("default")))
