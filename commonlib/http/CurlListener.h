// How a curl request reports to its scheduler.
//
// Every method is called on the curl worker thread that runs the request, never under a
// lock of the worker, and must return quickly: the implementation only hands the news to
// the thread that owns the request (CHttpMgr posts it to the UI thread). The request is
// alive for the duration of the call; keep a CRefPtr to use it later.
#pragma once

#include <cstdint>

#include "commonlib/http/HttpResult.h"

class CCurlBase;

class CurlListener {
public:
    // Exactly once per request that the worker accepted, unless the request was removed
    // first (a removed request reports nothing more). An aborted request reports the pair
    // it was aborted with, after the worker has let go of it.
    virtual void OnCurlDone(CCurlBase* request, HttpResult result) = 0;
    // When the status line of the final response has arrived (after redirects and interim
    // responses): `code` is its status.
    virtual void OnCurlResponseCode(CCurlBase* request, long code) = 0;
    // Bytes moved. Called often; the request's counters hold the newest values.
    virtual void OnCurlProgress(CCurlBase* request) = 0;

protected:
    ~CurlListener() = default;
};
