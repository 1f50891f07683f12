// Includes from a higher layer down are fine.
#pragma once

#include "commonlib/core/Good.h"
