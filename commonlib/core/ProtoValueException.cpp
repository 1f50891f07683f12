#include "commonlib/core/ProtoValueException.h"

ProtoValueException::~ProtoValueException() = default;
