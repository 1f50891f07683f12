// Entry points of the download engine for the rest of the program.
//
// All functions run on the UI thread, the one that called StartDownloadModule; the
// progress and completion functions are called there too (the completion possibly before
// StartDownload returns). The engine is an HTTP engine of its own (curl worker and
// scheduler); its worker also writes the downloaded bytes to disk.
#pragma once

#include <cstdint>
#include <string>

#include "commonlib/peer/DownloadTaskQueue.h"

// The functions every task reports through; the application registers its own.
void SetDownloadCallbacks(DownloadProgressFunction progress, DownloadDoneFunction done);

// Starts the worker, registers the queue and arms its 1000 ms thread timer; does nothing
// when already started. False when the worker or the timer could not be started.
bool StartDownloadModule();
// Stops every task (resumable, no callbacks), kills the timer and joins the worker.
void StopDownloadModule();
// The download engine's scheduler, for the application's 500 ms poll of time-outs and due
// retries (CHttpMgr::CheckTimeouts, CHttpMgr::StartDueRequests); null when not started.
CHttpMgr* GetDownloadHttpMgr();

// Starts a download of `url` into `localPath` (temporary name with ".qvdt", plus its resume
// file, until complete); always true, the outcome comes through the completion function.
bool StartDownload(const wchar_t* md5, const wchar_t* cdnHost, const wchar_t* url, const wchar_t* fallbackAddresses,
                   const wchar_t* localPath, std::int64_t size, void* user, std::int64_t minSpeed,
                   const std::string& requestText);
// Stops and removes the task of that URL and path; true, also when there is none.
bool StopDownload(const wchar_t* url, const wchar_t* localPath);

// The step of the progress timer in milliseconds (tests may shorten it before starting).
inline constexpr unsigned kDownloadProgressIntervalMs = 1000;
void SetDownloadProgressInterval(unsigned intervalMs);
