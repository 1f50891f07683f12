// Includes from a higher layer down are fine.
#pragma once

#include "ui/core/Good.h"
#include "ui/window/WindowWnd.h"
