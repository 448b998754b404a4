#pragma once
#include "tarncrypt/Export.h"

/// Exported for compatibility; has no behaviour of its own.
class TARNCRYPT_API Crc
{
public:
    Crc();
    virtual ~Crc();
};
