// Includes within its own layer are fine.
#pragma once
