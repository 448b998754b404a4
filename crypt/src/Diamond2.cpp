#include "tarncrypt/Diamond2.h"

CDiamond2::CDiamond2() = default;

CDiamond2::~CDiamond2() = default;
