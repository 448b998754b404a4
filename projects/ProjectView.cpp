#include "ProjectView.h"
