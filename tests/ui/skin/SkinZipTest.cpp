#include "ui/skin/SkinZip.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "support/TempDir.h"

using namespace SkinUI;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ToBytes(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

void Put16(Bytes& bytes, size_t at, uint16_t value) {
    bytes[at] = static_cast<uint8_t>(value);
    bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

void Put32(Bytes& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t Get32(const Bytes& bytes, size_t at) {
    return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (static_cast<uint32_t>(bytes[at + 3]) << 24);
}

std::string RawDeflate(const std::string& data) {
    z_stream stream{};
    EXPECT_EQ(deflateInit2(&stream, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(deflateBound(&stream, data.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

struct TestFile {
    std::string name;
    std::string data;
    uint16_t method;
};

// An archive written here, with the offsets the corruption cases patch.
struct BuiltZip {
    Bytes bytes;
    std::vector<size_t> local;
    std::vector<size_t> data;
    std::vector<size_t> central;
    size_t directory = 0;
    size_t end = 0;
};

BuiltZip BuildZip(const std::vector<TestFile>& files, const std::string& comment = "") {
    BuiltZip zip;
    Bytes& b = zip.bytes;
    std::vector<std::string> payloads;
    for (const TestFile& f : files) {
        const std::string payload = f.method == 8 ? RawDeflate(f.data) : f.data;
        payloads.push_back(payload);
        zip.local.push_back(b.size());
        Bytes header(30, 0);
        Put32(header, 0, 0x04034b50);
        Put16(header, 4, 20);
        Put16(header, 8, f.method);
        Put32(header, 14, crc32(0, reinterpret_cast<const Bytef*>(f.data.data()), static_cast<uInt>(f.data.size())));
        Put32(header, 18, static_cast<uint32_t>(payload.size()));
        Put32(header, 22, static_cast<uint32_t>(f.data.size()));
        Put16(header, 26, static_cast<uint16_t>(f.name.size()));
        b.insert(b.end(), header.begin(), header.end());
        b.insert(b.end(), f.name.begin(), f.name.end());
        zip.data.push_back(b.size());
        b.insert(b.end(), payload.begin(), payload.end());
    }
    zip.directory = b.size();
    for (size_t i = 0; i < files.size(); ++i) {
        zip.central.push_back(b.size());
        Bytes header(46, 0);
        Put32(header, 0, 0x02014b50);
        Put16(header, 4, 20);
        Put16(header, 6, 20);
        Put16(header, 10, files[i].method);
        Put32(header, 16, Get32(b, zip.local[i] + 14));
        Put32(header, 20, static_cast<uint32_t>(payloads[i].size()));
        Put32(header, 24, static_cast<uint32_t>(files[i].data.size()));
        Put16(header, 28, static_cast<uint16_t>(files[i].name.size()));
        Put32(header, 42, static_cast<uint32_t>(zip.local[i]));
        b.insert(b.end(), header.begin(), header.end());
        b.insert(b.end(), files[i].name.begin(), files[i].name.end());
    }
    zip.end = b.size();
    Bytes end(22, 0);
    Put32(end, 0, 0x06054b50);
    Put16(end, 8, static_cast<uint16_t>(files.size()));
    Put16(end, 10, static_cast<uint16_t>(files.size()));
    Put32(end, 12, static_cast<uint32_t>(zip.end - zip.directory));
    Put32(end, 16, static_cast<uint32_t>(zip.directory));
    Put16(end, 20, static_cast<uint16_t>(comment.size()));
    b.insert(b.end(), end.begin(), end.end());
    b.insert(b.end(), comment.begin(), comment.end());
    return zip;
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
const std::vector<TestFile>& BaseFiles() {
    static const std::vector<TestFile> files = {{"skin/InstallPackages.xml", SkinXml(), 8}, {"b.bin", Noise(100), 0}};
    return files;
}

// Runs the zip tool in `directory`; its output is discarded.
int RunZip(const std::filesystem::path& directory, const std::vector<std::string>& args) {
    std::vector<char*> argv;
    std::vector<std::string> storage = args;
    storage.insert(storage.begin(), "zip");
    for (std::string& arg : storage)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, 1);
        dup2(devNull, 2);
        if (chdir(directory.c_str()) != 0) _exit(126);
        execvp("zip", argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

Bytes ReadBytes(const std::filesystem::path& path) {
    return ToBytes(testsupport::TempDir::ReadFile(path));
}

}  // namespace

TEST(SkinZipTest, ReadsArchivesMadeByTheZipTool) {
    testsupport::TempDir dir;
    const std::string xml = SkinXml();
    const std::string logo = Noise(3000);
    const std::string chinese = "提示：安装完成";
    dir.WriteFile("InstallPackages.xml", xml);
    dir.WriteFile("img/Logo.PNG", logo);
    dir.WriteFile("empty.txt", "");
    dir.WriteFile("提示.txt", chinese);
    const std::vector<std::string> inputs = {"InstallPackages.xml", "img", "empty.txt", "提示.txt"};
    std::vector<std::string> deflated = {"-q", "-X", "-r", "deflated.zip"};
    std::vector<std::string> stored = {"-q", "-X", "-r", "-0", "stored.zip"};
    deflated.insert(deflated.end(), inputs.begin(), inputs.end());
    stored.insert(stored.end(), inputs.begin(), inputs.end());
    ASSERT_EQ(RunZip(dir.Path(), deflated), 0);
    ASSERT_EQ(RunZip(dir.Path(), stored), 0);

    for (const char* archive : {"deflated.zip", "stored.zip"}) {
        SCOPED_TRACE(archive);
        const bool isStored = std::string(archive) == "stored.zip";
        SkinZipError error = SkinZipError::Corrupt;
        const std::unique_ptr<CSkinZip> zip = CSkinZip::Open(ReadBytes(dir / archive), &error);
        ASSERT_NE(zip, nullptr);
        EXPECT_EQ(error, SkinZipError::None);
        EXPECT_EQ(zip->EntryCount(), 5);  // the four files and the "img/" directory

        const SkinZipEntry* xmlEntry = zip->FindEntry(L"installpackages.XML");
        ASSERT_NE(xmlEntry, nullptr);
        EXPECT_EQ(xmlEntry->name, L"InstallPackages.xml");
        EXPECT_EQ(xmlEntry->method, isStored ? 0 : 8);

        const struct {
            const wchar_t* name;
            std::string content;
        } reads[] = {
            {L"InstallPackages.xml", xml}, {L"img\\logo.png", logo},
            {L"IMG/LOGO.PNG", logo},       {L"empty.txt", ""},
            {L"提示.txt", chinese},        {L"img/", ""},
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
        EXPECT_EQ(zip->FindEntry(L"Logo.PNG"), nullptr);  // the directory is part of the name
    }
}

TEST(SkinZipTest, ReadsArchivesWrittenWithZlibAndKeepsItsOwnCopy) {
    const BuiltZip built = BuildZip(BaseFiles(), "skin archive comment");
    SkinZipError error = SkinZipError::Corrupt;
    HSKINZIP zip = nullptr;
    {
        const Bytes resource = built.bytes;  // goes away before the reads below
        zip = OpenSkinZip(resource.data(), resource.size(), &error);
    }
    ASSERT_NE(zip, nullptr);
    EXPECT_EQ(error, SkinZipError::None);
    ASSERT_EQ(zip->EntryCount(), 2);
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        const SkinZipEntry* entry = zip->EntryAt(i);
        ASSERT_NE(entry, nullptr);
        Bytes out;
        EXPECT_TRUE(zip->ReadEntry(*entry, &out, &error));
        EXPECT_EQ(out, ToBytes(BaseFiles()[i].data));
    }
    EXPECT_EQ(zip->EntryAt(2), nullptr);
    EXPECT_EQ(zip->EntryAt(-1), nullptr);
    CloseSkinZip(zip);
    CloseSkinZip(nullptr);

    // An empty archive is valid and has no entries.
    const BuiltZip empty = BuildZip({});
    const auto emptyZip = CSkinZip::Open(empty.bytes, &error);
    ASSERT_NE(emptyZip, nullptr);
    EXPECT_EQ(emptyZip->EntryCount(), 0);
}

TEST(SkinZipTest, CorruptArchivesAndEntriesFailWithAReason) {
    const BuiltZip base = BuildZip(BaseFiles());
    const auto size = static_cast<uint32_t>(base.bytes.size());
    const uint32_t xmlCompressed = Get32(base.bytes, base.central[0] + 20);
    const size_t end = base.end;
    const size_t c0 = base.central[0];
    const size_t c1 = base.central[1];
    const size_t l0 = base.local[0];
    const size_t l1 = base.local[1];
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
        {"directory one byte short",
         end + 12,
         4,
         static_cast<uint32_t>(end - base.directory - 1),
         E::Truncated,
         nullptr,
         {}},
        {"directory size too small", end + 12, 4, 50, E::Truncated, nullptr, {}},
        {"directory offset past the end", end + 16, 4, size + 100, E::Truncated, nullptr, {}},
        {"directory overlaps the end record",
         end + 16,
         4,
         static_cast<uint32_t>(base.directory + 10),
         E::Corrupt,
         nullptr,
         {}},
        {"bad central header signature", c1, 1, 0, E::Corrupt, nullptr, {}},
        {"name runs past the directory", c1 + 28, 2, 0xFFFF, E::Truncated, nullptr, {}},
        {"zip64 end record", end + 16, 4, 0xFFFFFFFF, E::Zip64Unsupported, nullptr, {}},
        {"zip64 entry sizes", c0 + 24, 4, 0xFFFFFFFF, E::Zip64Unsupported, nullptr, {}},
        {"second disk", end + 4, 2, 1, E::MultiDiskUnsupported, nullptr, {}},
        {"local header offset past the end", c0 + 42, 4, size - 10, E::None, xml, E::Truncated},
        {"bad local header signature", l0, 1, 'X', E::None, xml, E::Corrupt},
        {"local method differs", l0 + 8, 2, 0, E::None, xml, E::Corrupt},
        {"local extra field runs past the end", l1 + 28, 2, 0xFFFF, E::None, bin, E::Truncated},
        {"compressed size past the end", c0 + 20, 4, 0x7FFFFFFF, E::None, xml, E::Truncated},
        {"compressed data cut short", c0 + 20, 4, xmlCompressed / 2, E::None, xml, E::Truncated},
        {"inflates to more than declared", c0 + 24, 4, 1000, E::None, xml, E::SizeMismatch},
        {"inflates to less than declared", c0 + 24, 4, static_cast<uint32_t>(SkinXml().size() + 1), E::None, xml,
         E::SizeMismatch},
        {"declared size impossible for the data", c0 + 24, 4, 0xF0000000, E::None, xml, E::SizeMismatch},
        {"stored sizes disagree", c1 + 24, 4, 99, E::None, bin, E::SizeMismatch},
        {"CRC mismatch", c0 + 16, 1, base.bytes[c0 + 16] ^ 1u, E::None, xml, E::CrcMismatch},
        {"stored data damaged", base.data[1] + 50, 1, base.bytes[base.data[1] + 50] ^ 0x40u, E::None, bin,
         E::CrcMismatch},
        {"deflate block of the reserved type", base.data[0], 1, 0x07, E::None, xml, E::BadDeflateData},
        {"unsupported method", c0 + 10, 2, 12, E::None, xml, E::UnsupportedMethod},
        {"encrypted entry", c1 + 8, 2, 1, E::None, bin, E::Encrypted},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        Bytes bytes = base.bytes;
        if (c.width == 1) bytes[c.at] = static_cast<uint8_t>(c.value);
        if (c.width == 2) Put16(bytes, c.at, static_cast<uint16_t>(c.value));
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
        {"not a zip", ToBytes(std::string(200, 'x')), E::NotAnArchive},
        {"cut inside the central directory", Bytes(base.bytes.begin(), base.bytes.begin() + base.directory + 10),
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

TEST(SkinZipTest, DamageAnywhereNeverYieldsWrongDataOrReadsOutside) {
    const BuiltZip built = BuildZip(BaseFiles());
    // Every prefix lacks a whole end record.
    for (size_t size = 0; size < built.bytes.size(); ++size) {
        const Bytes prefix(built.bytes.begin(), built.bytes.begin() + static_cast<std::ptrdiff_t>(size));
        SkinZipError error = SkinZipError::None;
        ASSERT_EQ(CSkinZip::Open(prefix, &error), nullptr) << size;
        EXPECT_EQ(error, SkinZipError::NotAnArchive);
    }
    // Any damaged byte either fails somewhere or leaves the data intact (the sanitizers catch
    // any read outside the buffer).
    for (size_t at = 0; at < built.bytes.size(); ++at) {
        for (uint8_t flip : {uint8_t{0x01}, uint8_t{0x80}, uint8_t{0xFF}}) {
            Bytes damaged = built.bytes;
            damaged[at] ^= flip;
            const auto zip = CSkinZip::Open(damaged);
            if (zip == nullptr) continue;
            for (int i = 0; i < zip->EntryCount() && i < 2; ++i) {
                Bytes out;
                if (zip->ReadEntry(*zip->EntryAt(i), &out)) {
                    ASSERT_EQ(out, ToBytes(BaseFiles()[static_cast<size_t>(i)].data))
                        << "byte " << at << " ^ " << int(flip);
                }
            }
        }
    }
}
