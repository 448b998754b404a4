#include "ProjectDoc.h"
