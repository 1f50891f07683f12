// How the updater module reports to the main window.
//
// Called on the UI thread only, from the updater's helper window (never from inside the
// HTTP layer's or the download engine's own processing), so a slot may stop, delete or
// restart the updater that reports. Result pairs carry the type first: 0 success, 1
// system error, 3 the program's own codes, 4 HTTP status, 5 curl error.
#pragma once

#include <cstdint>
#include <string>

// Departs from the original behaviour: the seven slots nobody called or answered are left out.
class IGameEventListener {
public:
    virtual ~IGameEventListener() = default;

    // Download progress: total and completed bytes, speed in bytes per second, 0.
    virtual void OnProgress(std::int64_t total, std::int64_t completed, int speed, int reserved) = 0;
    // The package download ended; (0, 0) means the package is in place.
    virtual void OnDownloadResult(int type, int code, const std::wstring& text) = 0;
    // Nothing reports through this slot.
    virtual void OnListReady(int type, int ignored) = 0;
    // A descriptor fetch ended, with the descriptor's Version and Md5 as the updater holds
    // them (empty before a first descriptor). On success the package download has started.
    virtual void OnListResult(int type, int code, const std::wstring& version, const std::wstring& md5) = 0;
};
