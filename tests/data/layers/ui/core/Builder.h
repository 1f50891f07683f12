// A framework header that reaches up into the extended controls: the layer check must refuse it.
#pragma once

#include "ui/controls/Edit.h"
#include "ui/core/Good.h"
