// A core header that reaches up into the HTTP layer: the layer check must refuse it.
#pragma once

#include "commonlib/core/Good.h"
#include "commonlib/http/Engine.h"
