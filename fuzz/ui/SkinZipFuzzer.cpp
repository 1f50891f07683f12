// Feeds arbitrary bytes to the skin archive reader: opening and reading every entry must
// fail cleanly or succeed, never read outside the buffer.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ui/skin/SkinZip.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SkinUI::SkinZipError error = SkinUI::SkinZipError::None;
    SkinUI::HSKINZIP zip = SkinUI::OpenSkinZip(data, size, &error);
    if (zip == nullptr) return 0;
    std::vector<uint8_t> out;
    for (int i = 0; i < zip->EntryCount(); ++i) {
        const SkinUI::SkinZipEntry* entry = zip->EntryAt(i);
        if (zip->ReadEntry(*entry, &out, &error) && out.size() != entry->uncompressedSize) __builtin_trap();
        zip->FindEntry(entry->name);
    }
    SkinUI::CloseSkinZip(zip);
    return 0;
}
