// Upper-case hexadecimal text of bytes, as the statistics records carry their ciphertext.
#pragma once

#include <cstddef>

// Writes two characters per byte ("%02X") and a terminating NUL: `output` holds 2 * length + 1.
void HexEncodeUpper(char* output, const void* input, size_t length);
