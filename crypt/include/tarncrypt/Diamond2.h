#pragma once
#include "tarncrypt/Export.h"

/// Exported for compatibility; has no behaviour of its own.
class TARNCRYPT_API CDiamond2
{
public:
    CDiamond2();
    virtual ~CDiamond2();
};
