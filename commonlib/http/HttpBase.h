// One HTTP request as its owner sees it: the settings every attempt shares, and the
// attempt under way.
//
// Thread: the UI thread (the thread that runs the engine's scheduler) only, asserted in
// debug builds; a request binds to the thread that builds it. The owner
// holds the request by value or deletes it itself; the destructor stops it. The curl side
// of an attempt is a CCurlHttp, reference-counted, so a stopped or destroyed request
// leaves nothing for the worker or a queued task to reach: the scheduler forgets the
// attempt at once and drops whatever still arrives for it.
//
// A derived class runs the attempts: StartAttempt queues one on the scheduler (at once,
// or after a delay that CHttpMgr::StartDueRequests honours), and the scheduler calls
// OnAttemptDone exactly once for each attempt that was not stopped, on the UI thread.
// OnAttemptDone may start the next attempt, stop the request, or (from a completion
// callback) let the owner delete it; the scheduler touches nothing of the request after.
//
// The download engine's seam: override CreateTransfer to hand the scheduler a CCurlHttp
// subclass that takes the body on the worker thread, and use the range and expected length.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "commonlib/http/CurlHttp.h"
#include "platform/sync/ThreadChecker.h"
#include "platform/types/WinTypes.h"

class CHttpEngine;
class CHttpMgr;

class CHttpBase {
public:
    // `engine` null: the command engine (InitHttpCommandMgr), looked up at each start.
    explicit CHttpBase(CHttpEngine* engine = nullptr);
    virtual ~CHttpBase();
    CHttpBase(const CHttpBase&) = delete;
    CHttpBase& operator=(const CHttpBase&) = delete;

    // Multipart form fields (byte strings), sent in the order added.
    void AddFormField(std::string name, std::string value);
    void ClearFormFields();
    // Extra header lines, complete ("Content-Type:application/json;charset=utf-8").
    std::vector<std::string>& Headers() {
        XJ_ASSERT_ON_THREAD(m_threadChecker);
        return m_headers;
    }
    void AddHeader(std::string line);
    void ClearHeaders();

    // HTTPS only: when set before the request, the certificate's host name is checked. The
    // certificate chain is always verified (HttpTrust.h).
    std::uint8_t m_checkHost = 0;

    void SetRange(std::optional<HttpByteRange> range);
    void SetExpectedLength(std::int64_t length);
    void SetFollowRedirects(bool follow);
    // The largest body an attempt keeps in memory; a larger one fails the attempt with
    // (5, CURLE_FILESIZE_EXCEEDED). -1: no limit.
    void SetMaxBodyBytes(std::int64_t bytes);
    // Inactivity allowed to a running attempt before CHttpMgr::CheckTimeouts ends it with
    // (3, 3002); 0: none.
    void SetTimeout(DWORD milliseconds);
    DWORD Timeout() const;
    // The longest an attempt may take however steadily bytes arrive: past it the attempt
    // ends with (5, CURLE_OPERATION_TIMEDOUT) and the owner's retries go on. 0: none.
    void SetDeadline(DWORD milliseconds);
    DWORD Deadline() const;

    // Ends the attempt under way or waiting; nothing is reported for it. Safe when idle.
    virtual void Stop();
    // Waiting for a slot or a retry delay, or running.
    bool IsActive() const;
    bool IsRunning() const;

protected:
    // An attempt's request, from the shared settings.
    HttpRequestSettings BuildSettings(std::string url, HttpMethod method, std::string body,
                                      std::string connectAddress) const;
    // Queues an attempt; false when there is no engine or the request is already active.
    bool StartAttempt(HttpRequestSettings settings, DWORD delayMs);

    // The transfer object for an attempt; the download engine returns its own subclass.
    virtual CRefPtr<CCurlHttp> CreateTransfer(HttpRequestSettings settings);
    // UI thread, once per attempt that was not stopped. `transfer` holds the response.
    virtual void OnAttemptDone(const CRefPtr<CCurlHttp>& transfer, HttpResult result) = 0;
    virtual void OnAttemptResponseCode(const CCurlHttp& /*transfer*/, long /*code*/) {}
    // UI thread; coalesced, so the counters hold the newest values.
    virtual void OnAttemptProgress(const CCurlHttp& /*transfer*/) {}

    const std::vector<std::pair<std::string, std::string>>& FormFields() const { return m_formFields; }
    // The engine attempts run on: the one given, else the command engine (null when none runs).
    CHttpEngine* Engine() const;

private:
    friend class CHttpMgr;

    CHttpEngine* m_engine;
    std::vector<std::string> m_headers;
    std::vector<std::pair<std::string, std::string>> m_formFields;
    std::optional<HttpByteRange> m_range;
    std::int64_t m_expectedLength = -1;
    std::int64_t m_maxBodyBytes = -1;
    bool m_followRedirects = true;
    DWORD m_timeoutMs = 0;
    DWORD m_deadlineMs = 0;

    // Scheduler state, written by CHttpMgr.
    CHttpMgr* m_mgr = nullptr;
    bool m_running = false;
    bool m_timingOut = false;  // running, but ended by its time-out: the worker is letting go of it
    CRefPtr<CCurlHttp> m_transfer;

protected:
    platform::ThreadChecker m_threadChecker;
};
