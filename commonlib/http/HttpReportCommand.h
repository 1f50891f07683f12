// The reports' requests on the command engine: IReportCommand over a CHttpCommand.
//
// The command engine registers this maker with the reports while it runs; each command
// belongs to the UI thread, like the CHttpCommand it wraps.
#pragma once

#include <memory>

#include "commonlib/logger/ReportSupport.h"

std::unique_ptr<IReportCommand> MakeHttpReportCommand();
