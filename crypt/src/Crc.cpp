#include "tarncrypt/Crc.h"

Crc::Crc() = default;

Crc::~Crc() = default;
