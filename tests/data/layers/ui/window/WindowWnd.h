// The plain window stands on the framework.
#pragma once

#include "ui/core/Good.h"
