// What the report classes share: the HTTP request each of them owns, the JSON texts the
// collectors expect, the sender's identity in each record and the event time text.
//
// The reports reach HTTP only through IReportCommand: this layer sits below the HTTP
// layer, which registers the maker of its commands while the command engine runs.
//
// A report command belongs to the UI thread: it is created, started, stopped and deleted
// there, and its completion runs there, once for every Post that returned true and never
// after Stop. The other functions are reentrant and callable from any thread.
#pragma once

#include <json/json.h>

#include <functional>
#include <memory>
#include <string>

#include "commonlib/core/ProtoValue.h"

// (user, response body as UTF-8, type, code): the result pair of the HTTP layer.
using ReportPostDone = void (*)(void* user, const std::string& response, int type, int code);

class IReportCommand {
public:
    virtual ~IReportCommand() = default;

    // Complete header lines such as "Content-Type:application/json;charset=utf-8".
    virtual void ClearHeaders() = 0;
    virtual void AddHeader(std::string line) = 0;
    // Multipart form fields, sent in the order added.
    virtual void ClearFormFields() = 0;
    virtual void AddFormField(std::string name, std::string value) = 0;
    // Starts a POST of `body` (with the form fields, if any). False when the request is
    // still active or the URL is unusable; no completion follows then.
    virtual bool Post(const std::wstring& url, std::string body, ReportPostDone done, void* user) = 0;
    // Ends a request under way; its completion never runs.
    virtual void Stop() = 0;
};

using ReportCommandFactory = std::function<std::unique_ptr<IReportCommand>()>;

// The HTTP layer's maker of report commands (empty: none); the command engine sets it
// when it starts and clears it when it ends.
void SetReportCommandMaker(ReportCommandFactory maker);
// Puts `factory` in front of the maker (empty: the maker again) and returns the previous
// factory; for tests. Set it before the reports create their commands.
ReportCommandFactory SetReportCommandFactory(ReportCommandFactory factory);
// A new command from the factory, else from the maker; null when there is neither (no
// command engine runs) or it makes none.
std::unique_ptr<IReportCommand> CreateReportCommand();

// True on the UI thread, and on any thread while no UI thread has been set up yet.
bool IsOnReportThread();

// Who sends a record, as the collectors expect it in every record.
struct ReportIdentity {
    std::wstring version;
    std::wstring product;
    std::wstring osName;
    std::wstring mac;
    std::string localIp;
};

// The report as a JSON object with the identity and "upload_platform" set over it; a report
// that is not a map (or a text the reader refuses) still yields the identity.
Json::Value ReportRecordWithIdentity(const ProtoValue& report, const ReportIdentity& identity);

// An empty URL drops the pending records; a URL gives a pending array if there is none.
void ResetPendingForUrl(std::unique_ptr<Json::Value>& pending, const std::wstring& url);

// The current local time as "%d-%02d-%02d %02d:%02d:%02d".
std::string ReportTimeText();

// jsoncpp's classic writers and reader, whose exact layouts the collectors were written
// against. FastWriter: no white space, one line feed at the end. StyledWriter: one member a
// line, three-space indentation, one line feed at the end.
std::string FastJsonText(const Json::Value& value);
std::string StyledJsonText(const Json::Value& value);
// Parses with comments collected; `out` holds what the reader left when it fails.
bool ParseJsonText(const std::string& text, Json::Value& out);
