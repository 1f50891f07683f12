#include "ui/skin/SkinZip.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/TempDir.h"
#include "support/ZipBytes.h"

using namespace SkinUI;
using testsupport::Put16;
using testsupport::Put32;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ToBytes(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

std::string SkinXml() {
    std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Window size=\"540,434\">\n";
    for (int i = 0; i < 40; ++i)
        xml += "  <Button name=\"btn_" + std::to_string(i) + "\" width=\"60\" height=\"20\"/>\n";
    return xml + "</Window>\n";
}

std::string Noise(size_t size) {
    std::string out(size, '\0');
    uint32_t state = 12345;
    for (char& c : out) {
        state = state * 1103515245 + 12345;
        c = static_cast<char>(state >> 24);
    }
    return out;
}

// The two-entry archive the corruption table starts from.
const std::vector<testsupport::ZipFile>& BaseFiles() {
    static const std::vector<testsupport::ZipFile> files = {{"skin/InstallPackages.xml", SkinXml(), 8},
                                                            {"b.bin", Noise(100), 0}};
    return files;
}

}  // namespace

TEST(SkinZipTest, ReadsArchivesMadeByTheZipTool) {
    testsupport::TempDir dir;
    const std::string xml = SkinXml();
    const std::string logo = Noise(3000);
    const std::string chinese = "提示：安装完成";
    dir.WriteFile("InstallPackages.xml", xml);
    dir.WriteFile("img/Logo.PNG", logo);
    dir.WriteFile("提示.txt", chinese);
    const std::string inputs = " InstallPackages.xml img 提示.txt >/dev/null 2>&1";
    const std::string cd = "cd '" + dir.Path().string() + "' && zip -q -X -r ";
    ASSERT_EQ(std::system((cd + "deflated.zip" + inputs).c_str()), 0);
    ASSERT_EQ(std::system((cd + "-0 stored.zip" + inputs).c_str()), 0);

    for (const char* archive : {"deflated.zip", "stored.zip"}) {
        SCOPED_TRACE(archive);
        SkinZipError error = SkinZipError::Corrupt;
        const auto zip = CSkinZip::Open(ToBytes(testsupport::TempDir::ReadFile(dir / archive)), &error);
        ASSERT_NE(zip, nullptr);
        EXPECT_EQ(error, SkinZipError::None);
        EXPECT_EQ(zip->EntryCount(), 4);  // the three files and the "img/" directory
        EXPECT_EQ(zip->FindEntry(L"installpackages.XML")->method, std::string(archive) == "stored.zip" ? 0 : 8);

        const struct {
            const wchar_t* name;
            std::string content;
        } reads[] = {
            {L"InstallPackages.xml", xml},
            {L"img\\logo.png", logo},
            {L"提示.txt", chinese},
            {L"img/", ""},
        };
        for (const auto& r : reads) {
            SCOPED_TRACE(testing::Message() << r.name);
            Bytes out{1, 2, 3};
            EXPECT_TRUE(zip->ReadEntry(r.name, &out, &error));
            EXPECT_EQ(error, SkinZipError::None);
            EXPECT_EQ(out, ToBytes(r.content));
        }
        EXPECT_TRUE(zip->FindEntry(L"img\\")->IsDirectory());

        Bytes out{1};
        EXPECT_FALSE(zip->ReadEntry(L"MessageBox.xml", &out, &error));
        EXPECT_EQ(error, SkinZipError::NotFound);
        EXPECT_TRUE(out.empty());
    }
}

TEST(SkinZipTest, ReadsArchivesWrittenWithZlibAndKeepsItsOwnCopy) {
    SkinZipError error = SkinZipError::Corrupt;
    HSKINZIP zip = nullptr;
    {
        const Bytes resource = testsupport::BuildZip(BaseFiles(), "skin archive comment").bytes;
        zip = OpenSkinZip(resource.data(), resource.size(), &error);
    }  // the buffer is gone before the reads
    ASSERT_NE(zip, nullptr);
    EXPECT_EQ(error, SkinZipError::None);
    ASSERT_EQ(zip->EntryCount(), 2);
    for (int i = 0; i < 2; ++i) {
        Bytes out;
        EXPECT_TRUE(zip->ReadEntry(*zip->EntryAt(i), &out, &error));
        EXPECT_EQ(out, ToBytes(BaseFiles()[i].data)) << i;
    }
    CloseSkinZip(zip);
}

TEST(SkinZipTest, CorruptArchivesAndEntriesFailWithAReason) {
    const testsupport::ZipBytes base = testsupport::BuildZip(BaseFiles());
    const auto size = static_cast<uint32_t>(base.bytes.size());
    const auto directorySize = static_cast<uint32_t>(base.end - base.directory);
    const auto pastDirectory = static_cast<uint32_t>(base.directory + 10);
    const size_t end = base.end, c0 = base.central[0], c1 = base.central[1], l1 = base.local[1];
    const size_t d0 = base.data[0];
    const wchar_t* const xml = L"skin/InstallPackages.xml";
    const wchar_t* const bin = L"b.bin";
    using E = SkinZipError;
    // One field patched: `width` bytes of `value`, little-endian.
    const struct {
        const char* why;
        size_t at;
        int width;
        uint32_t value;
        E openError;
        const wchar_t* read;
        E readError;
    } cases[] = {
        {"comment longer than the buffer", end + 20, 2, 100, E::NotAnArchive, nullptr, {}},
        {"directory one byte short", end + 12, 4, directorySize - 1, E::Truncated, nullptr, {}},
        {"directory offset past the end", end + 16, 4, size + 100, E::Truncated, nullptr, {}},
        {"bad central header signature", c1, 1, 0, E::Corrupt, nullptr, {}},
        {"zip64 end record", end + 16, 4, 0xFFFFFFFF, E::Zip64Unsupported, nullptr, {}},
        {"local header offset past the end", c0 + 42, 4, size - 10, E::None, xml, E::Truncated},
        {"local extra field runs past the end", l1 + 28, 2, 0xFFFF, E::None, bin, E::Truncated},
        {"compressed size past the end", c0 + 20, 4, 0x7FFFFFFF, E::None, xml, E::Truncated},
        {"inflates to more than declared", c0 + 24, 4, 1000, E::None, xml, E::SizeMismatch},
        {"declared size impossible for the data", c0 + 24, 4, 0xF0000000, E::None, xml, E::SizeMismatch},
        {"CRC mismatch", c0 + 16, 1, base.bytes[c0 + 16] ^ 1u, E::None, xml, E::CrcMismatch},
        {"deflate block of the reserved type", d0, 1, 0x07, E::None, xml, E::BadDeflateData},
        {"encrypted entry", c1 + 8, 2, 1, E::None, bin, E::Encrypted},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        Bytes bytes = base.bytes;
        if (c.width == 1) bytes[c.at] = static_cast<uint8_t>(c.value);
        if (c.width == 2) Put16(bytes, c.at, c.value);
        if (c.width == 4) Put32(bytes, c.at, c.value);
        SkinZipError error = SkinZipError::None;
        const std::unique_ptr<CSkinZip> zip = CSkinZip::Open(bytes, &error);
        EXPECT_EQ(error, c.openError);
        if (c.openError != SkinZipError::None) {
            EXPECT_EQ(zip, nullptr);
            continue;
        }
        ASSERT_NE(zip, nullptr);
        Bytes out{1, 2, 3};
        EXPECT_FALSE(zip->ReadEntry(c.read, &out, &error));
        EXPECT_EQ(error, c.readError);
        EXPECT_TRUE(out.empty());
    }

    // Whole-buffer faults.
    Bytes withLocator = base.bytes;
    Bytes locator(20, 0);
    Put32(locator, 0, 0x07064b50);
    withLocator.insert(withLocator.begin() + static_cast<std::ptrdiff_t>(end), locator.begin(), locator.end());
    const struct {
        const char* why;
        Bytes bytes;
        E error;
    } buffers[] = {
        {"empty buffer", {}, E::NotAnArchive},
        {"cut inside the central directory", Bytes(base.bytes.begin(), base.bytes.begin() + pastDirectory),
         E::NotAnArchive},
        {"zip64 locator before the end record", withLocator, E::Zip64Unsupported},
    };
    for (const auto& b : buffers) {
        SCOPED_TRACE(b.why);
        SkinZipError error = SkinZipError::None;
        EXPECT_EQ(CSkinZip::Open(b.bytes, &error), nullptr);
        EXPECT_EQ(error, b.error);
    }
}

TEST(SkinZipTest, AnyDamagedByteFailsOrLeavesTheDataIntact) {
    const Bytes built = testsupport::BuildZip(BaseFiles()).bytes;
    // Any damaged byte either fails somewhere or leaves the data intact (the sanitizers catch
    // any read outside the buffer).
    for (size_t at = 0; at < built.size(); ++at) {
        for (uint8_t flip : {uint8_t{0x01}, uint8_t{0x80}, uint8_t{0xFF}}) {
            Bytes damaged = built;
            damaged[at] ^= flip;
            const auto zip = CSkinZip::Open(damaged);
            for (int i = 0; zip != nullptr && i < zip->EntryCount() && i < 2; ++i) {
                Bytes out;
                if (zip->ReadEntry(*zip->EntryAt(i), &out)) {
                    ASSERT_EQ(out, ToBytes(BaseFiles()[static_cast<size_t>(i)].data)) << at << " ^ " << int(flip);
                }
            }
        }
    }
}

TEST(SkinZipTest, AnEntryLargerThanAnyImageCouldNeedIsRefusedBeforeItIsInflated) {
    // Data that does not compress, so the declared size passes the deflate ratio check.
    testsupport::ZipBytes zip = testsupport::BuildZip({{"big.png", Noise(512 * 1024), 8}});
    Put32(zip.bytes, zip.central[0] + 24, 400u * 1024 * 1024);
    auto archive = CSkinZip::Open(zip.bytes);
    ASSERT_TRUE(archive);
    Bytes out;
    SkinZipError error = SkinZipError::None;
    EXPECT_FALSE(archive->ReadEntry(L"big.png", &out, &error));
    EXPECT_EQ(error, SkinZipError::TooLarge);
}
