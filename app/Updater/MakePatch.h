// The patch worker: unpacks a 7z archive into a directory on its own thread, through
// the 7z library that the program carries as its resource "RESDLL" 155 and writes out
// next to the destination before loading it.
//
// Items the worker reserves ("update.ini") are unpacked under temporary names and
// moved over their real files only after the whole archive is out, so a half-applied
// patch never carries the new one. The owner fills Config() before Start and leaves
// it alone until the finish function has run. The progress and finish functions are
// called on the worker thread; the finish function gets the result pair of every run,
// success (0, 0) included:
//   (3, 2031) the library could not be loaded, (3, 2032) it offers no usable 7z object,
//   (1, system error) the archive could not be opened, an output failed or a reserved
//   file could not be moved, (3, 2019) the archive could not be opened without a system
//   error, (3, 2029) the library could not open or unpack it and nothing recorded why,
//   (3, 2017) stopped after the library ended well, (1, 2017 / 2019 / 2020) an item
//   failed after a stop, an unopened output file or an uncreated folder, (1, 23) an item
//   came out damaged (or needed a password), (1, 123) an item or a move would leave the
//   destination.
// Stop sets the thread's stop flag, which ends the run before the next item; the
// destructor stops the run and, past 3 s, waits for the item in hand to end.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "app/Updater/SevenZipCallbacks.h"
#include "commonlib/core/ProtoValue.h"
#include "commonlib/thread/SimpleThread.h"
#include "platform/types/WinTypes.h"

struct PatchConfig {
    using ProgressFn = void (*)(PatchConfig* config, int percent);
    using FinishFn = void (*)(PatchConfig* config, int type, int code);

    std::wstring archivePath;
    std::wstring destination;
    ProgressFn progressFn = nullptr;  // may be null
    FinishFn finishFn = nullptr;      // may be null
};

class CPatcher : public CSimpleThread {
public:
    CPatcher();
    ~CPatcher() override;

    PatchConfig& Config() { return m_config; }

    // The extraction's progress: `user` is the CPatcher; passes done * 100 / total,
    // truncated, to the progress function. Nothing happens without a user or a total.
    static void OnProgress(void* user, std::uint64_t done, std::uint64_t total);

protected:
    int Run() override;

private:
    void FreeMembers();

    PatchConfig m_config;
};

// One extraction's state. Destroying it unloads the library.
struct SevenZipExtractor {
    HMODULE library = nullptr;
    std::wstring libraryFolder;  // the library's own, made by the load, removed by the unload
    std::wstring archivePath;
    std::wstring destination;
    std::wstring password;
    ProtoValue* options = nullptr;  // the reserved-file lists, may be null
    void* user = nullptr;           // the CPatcher that gets the progress
    const std::atomic<std::uint8_t>* stopFlag = nullptr;
    bool runtimeWritten = false;
    std::int32_t resultCode = 0;
    std::int32_t resultType = 0;
    sevenzip::ProgressFn progress = nullptr;

    SevenZipExtractor() = default;
    ~SevenZipExtractor();
    SevenZipExtractor(const SevenZipExtractor&) = delete;
    SevenZipExtractor& operator=(const SevenZipExtractor&) = delete;
};

// Unpacks `archive` below `destination` (trailing separators dropped), then moves the
// reserved files into place.
// True on success; the result pair is left in the extractor either way.
bool ExtractSevenZipArchive(SevenZipExtractor* extractor, const std::wstring& archive, const std::wstring& destination,
                            const std::atomic<std::uint8_t>* stopFlag, const std::wstring& password,
                            ProtoValue* options, void* user);

// Writes the library out of the program's resources to "Qvxj7z.dll" in a new folder of its
// own beside the destination, where no item is unpacked, and loads it. The library handle,
// or null.
HMODULE LoadSevenZipLibrary(SevenZipExtractor* extractor);
// Writes the library's runtime (resource "RESDLL" 156, when the program has it) to
// "msvcr100.dll" in the program's folder.
void WriteRuntimeDll(SevenZipExtractor* extractor);
// Frees the library, removes its folder and deletes a runtime that WriteRuntimeDll wrote.
void UnloadSevenZipLibrary(SevenZipExtractor* extractor);
