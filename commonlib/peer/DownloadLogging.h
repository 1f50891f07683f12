// Log lines of the download engine, built as std::string messages, with source file and line.
// Any thread.
#pragma once

#include <string>

#include "commonlib/logger/Log.h"

#define DL_LOG_INFO(msg) XJ_LOG_INFO("%s", std::string(msg).c_str())
#define DL_LOG_WARN(msg) XJ_LOG_WARN("%s", std::string(msg).c_str())
#define DL_LOG_ERROR(msg) XJ_LOG_ERROR("%s", std::string(msg).c_str())
