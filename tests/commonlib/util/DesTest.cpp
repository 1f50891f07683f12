#include "commonlib/util/Des.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "commonlib/util/Hex.h"

namespace {

std::string FromHex(const std::string& hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

// Upper-case hex text, which must end in one terminator and write nothing past it.
std::string ToHex(const std::string& bytes) {
    std::string out(2 * bytes.size() + 2, '#');
    HexEncodeUpper(out.data(), bytes.data(), bytes.size());
    EXPECT_EQ(out.substr(2 * bytes.size()), std::string("\0#", 2));
    return out.substr(0, 2 * bytes.size());
}

std::string EncryptToHex(const std::string& key, const std::string& plain) {
    DesKeySchedule schedule;
    EXPECT_TRUE(DesSetKey(schedule, key));
    std::string out(DesPaddedLength(plain.size()), '\0');
    EXPECT_EQ(DesEncryptEcb(schedule, plain.data(), out.data(), plain.size()), out.size());
    return ToHex(out);
}

}  // namespace

TEST(DesTest, MatchesPublishedVectorsAndPadsEveryLengthWithOneToEightBytes) {
    // Published vectors: the cipher of the whole blocks given, before the padding block.
    const struct {
        const char* key;
        const char* plain;
        const char* cipher;
    } published[] = {
        {"133457799BBCDFF1", "0123456789ABCDEF", "85E813540F0AB405"},
        {"0101010101010101", "8000000000000000", "95F8A5E5DD31D900"},
        {"0123456789ABCDEF", "4E6F77206973207468652074696D6520666F7220616C6C20",  // "Now is the time for all "
         "3FA40E8A984D48156A271787AB8883F9893D51EC4B563B53"},
    };
    for (const auto& c : published) {
        SCOPED_TRACE(c.cipher);
        EXPECT_EQ(EncryptToHex(FromHex(c.key), FromHex(c.plain)).substr(0, std::strlen(c.cipher)), c.cipher);
    }
    // PKCS#5 padding, as OpenSSL's DES-ECB writes it.
    const struct {
        std::string plain;
        const char* cipher;
    } padded[] = {
        {"", "BD12D4F1924CDEB9"},
        {"1234567", "3FD87911237635C4"},
        {"12345678", "EA6C0ECDDE079BA7BD12D4F1924CDEB9"},
        {"123456789", "EA6C0ECDDE079BA7219FEAFBD407C5DC"},
        {"abcdefghijklmnop", "6CDB4F4238FBC197FB73D2FD9011BC6EBD12D4F1924CDEB9"},
    };
    for (const auto& c : padded) {
        SCOPED_TRACE(c.plain.size());
        EXPECT_EQ(EncryptToHex("morin530", c.plain), c.cipher);
    }
}

TEST(DesTest, KeyOfAnotherLengthIsRefusedAndLeavesTheScheduleAlone) {
    DesKeySchedule schedule;
    schedule.roundKeys[0] = 42;
    EXPECT_FALSE(DesSetKey(schedule, "short"));
    EXPECT_FALSE(DesSetKey(schedule, "ninebytes"));
    EXPECT_EQ(schedule.roundKeys[0], 42u);
}
