#include "commonlib/core/FileExException.h"

CFileExException::~CFileExException() = default;
