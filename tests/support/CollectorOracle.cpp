#include "support/CollectorOracle.h"

#include <openssl/des.h>
#include <openssl/evp.h>

#include <cstdio>
#include <cstring>

namespace testsupport {
namespace {

constexpr char kStatisticsKey[] = "morin530";
constexpr char kSignKey[] = "Rq7HwB2mPzL0dN4e";

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool DecodeHex(const std::string& hex, std::string* bytes) {
    if (hex.size() % 2 != 0) return false;
    bytes->clear();
    for (size_t i = 0; i < hex.size(); i += 2) {
        const int high = HexValue(hex[i]);
        const int low = HexValue(hex[i + 1]);
        if (high < 0 || low < 0) return false;
        bytes->push_back(static_cast<char>(high * 16 + low));
    }
    return true;
}

}  // namespace

std::string OpenSslMd5Hex(const std::string& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_md5(), nullptr) != 1) return "<no digest>";
    char hex[2 * EVP_MAX_MD_SIZE + 1] = {};
    for (unsigned int i = 0; i < size; ++i)
        std::snprintf(hex + 2 * i, 3, "%02x", digest[i]);
    return hex;
}

std::string DownloadLogSign(const std::string& data) {
    return OpenSslMd5Hex(kSignKey + data);
}

bool DecryptStatisticsBody(const std::string& hex, std::string* line) {
    std::string cipher;
    if (!DecodeHex(hex, &cipher) || cipher.empty() || cipher.size() % 8 != 0) return false;
        // Single DES is among OpenSSL's deprecated calls; the collectors still speak it.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    DES_cblock key;
    std::memcpy(key, kStatisticsKey, 8);
    DES_key_schedule schedule;
    DES_set_key_unchecked(&key, &schedule);
    line->assign(cipher.size(), '\0');
    for (size_t i = 0; i < cipher.size(); i += 8) {
        DES_ecb_encrypt(reinterpret_cast<const_DES_cblock*>(cipher.data() + i),
                        reinterpret_cast<DES_cblock*>(line->data() + i), &schedule, DES_DECRYPT);
    }
#pragma GCC diagnostic pop
    const unsigned pad = static_cast<unsigned char>(line->back());
    if (pad < 1 || pad > 8) return false;
    for (size_t i = line->size() - pad; i < line->size(); ++i) {
        if (static_cast<unsigned char>((*line)[i]) != pad) return false;
    }
    line->resize(line->size() - pad);
    return true;
}

}  // namespace testsupport
