#include "commonlib/util/Des.h"

#include <gtest/gtest.h>

// The oracle: libcrypto's single-block DES (deprecated in OpenSSL 3, still the reference here).
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/des.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "commonlib/util/Hex.h"

namespace {

std::string FromHex(const std::string& hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

std::string ToHex(const std::string& bytes) {
    std::string out(2 * bytes.size() + 1, '\0');
    HexEncodeUpper(out.data(), bytes.data(), bytes.size());
    out.pop_back();
    return out;
}

std::string Encrypt(const std::string& key, const std::string& plain) {
    DesKeySchedule schedule;
    EXPECT_TRUE(DesSetKey(schedule, key));
    std::string out(DesPaddedLength(plain.size()), '\0');
    EXPECT_EQ(DesEncryptEcb(schedule, plain.data(), out.data(), plain.size()), out.size());
    return out;
}

std::string OracleDecrypt(const std::string& key, const std::string& cipher) {
    DES_cblock keyBlock;
    std::copy(key.begin(), key.end(), keyBlock);
    DES_key_schedule schedule;
    DES_set_key_unchecked(&keyBlock, &schedule);
    std::string out(cipher.size(), '\0');
    for (size_t i = 0; i < cipher.size(); i += 8) {
        DES_cblock in, plain;
        std::copy_n(cipher.begin() + i, 8, in);
        DES_ecb_encrypt(&in, &plain, &schedule, DES_DECRYPT);
        std::copy_n(plain, 8, out.begin() + i);
    }
    return out;
}

}  // namespace

TEST(DesTest, MatchesPublishedSingleBlockVectors) {
    // The first block of the output is the raw cipher of an 8-byte input; the second is padding.
    const struct {
        const char* key;
        const char* plain;
        const char* cipher;
    } cases[] = {
        {"133457799BBCDFF1", "0123456789ABCDEF", "85E813540F0AB405"},
        {"0101010101010101", "8000000000000000", "95F8A5E5DD31D900"},
        {"0123456789ABCDEF", "4E6F772069732074", "3FA40E8A984D4815"},  // "Now is t"
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cipher);
        EXPECT_EQ(ToHex(Encrypt(FromHex(c.key), FromHex(c.plain))).substr(0, 16), c.cipher);
    }
    EXPECT_EQ(ToHex(Encrypt(FromHex("0123456789ABCDEF"), "Now is the time for all ")).substr(0, 48),
              "3FA40E8A984D48156A271787AB8883F9893D51EC4B563B53");
}

TEST(DesTest, PadsEveryLengthWithOneToEightBytes) {
    const std::string key = "morin530";
    const struct {
        std::string plain;
        const char* cipher;  // null: checked through the oracle only
    } cases[] = {
        {"", "BD12D4F1924CDEB9"},
        {"1234567", nullptr},
        {"12345678", "EA6C0ECDDE079BA7BD12D4F1924CDEB9"},
        {"123456789", nullptr},
        {"abcdefghijklmnop", "6CDB4F4238FBC197FB73D2FD9011BC6EBD12D4F1924CDEB9"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.plain.size());
        const std::string cipher = Encrypt(key, c.plain);
        ASSERT_EQ(cipher.size(), (c.plain.size() / 8 + 1) * 8);
        if (c.cipher) {
            EXPECT_EQ(ToHex(cipher), c.cipher);
        }
        const size_t pad = cipher.size() - c.plain.size();
        EXPECT_EQ(OracleDecrypt(key, cipher), c.plain + std::string(pad, static_cast<char>(pad)));
    }
}

TEST(DesTest, AgreesWithTheOracleOnRandomInputAndInPlace) {
    std::mt19937 random(1234);
    const auto randomBytes = [&random](size_t size) {
        std::string out(size, '\0');
        for (char& c : out)
            c = static_cast<char>(random());
        return out;
    };
    for (size_t length = 0; length <= 40; ++length) {
        SCOPED_TRACE(length);
        const std::string key = randomBytes(8), plain = randomBytes(length);
        const std::string cipher = Encrypt(key, plain);
        const size_t pad = cipher.size() - length;
        EXPECT_EQ(OracleDecrypt(key, cipher), plain + std::string(pad, static_cast<char>(pad)));

        // The output may be the input buffer when that holds the padded length.
        DesKeySchedule schedule;
        ASSERT_TRUE(DesSetKey(schedule, key));
        std::string buffer = plain + std::string(pad, '\xEE');
        DesEncryptEcb(schedule, buffer.data(), buffer.data(), length);
        EXPECT_EQ(buffer, cipher);
    }
    // A key of another length is refused and leaves the schedule alone.
    DesKeySchedule schedule;
    schedule.roundKeys[0] = 42;
    EXPECT_FALSE(DesSetKey(schedule, "short"));
    EXPECT_FALSE(DesSetKey(schedule, "ninebytes"));
    EXPECT_EQ(schedule.roundKeys[0], 42u);
}
