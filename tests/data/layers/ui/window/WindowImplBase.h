// The skinned window base sits above the controls it registers.
#pragma once

#include "ui/controls/Edit.h"
#include "ui/window/WindowWnd.h"
