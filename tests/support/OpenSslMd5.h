// MD5 by OpenSSL: an oracle independent of the program's own digest code.
#pragma once

#include <openssl/evp.h>

#include <cstdio>
#include <string>

namespace testsupport {

// Lower-case hex, as the program writes its digests.
inline std::string OpenSslMd5Hex(const std::string& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_md5(), nullptr) != 1) return "<no digest>";
    char hex[2 * EVP_MAX_MD_SIZE + 1] = {};
    for (unsigned int i = 0; i < size; ++i)
        std::snprintf(hex + 2 * i, 3, "%02x", digest[i]);
    return hex;
}

}  // namespace testsupport
