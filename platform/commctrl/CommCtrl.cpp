#include "platform/commctrl/CommCtrl.h"

#include "platform/commctrl/DateTimePicker.h"
#include "platform/types/ErrorCodes.h"

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init) {
    if (init == nullptr || init->dwSize != sizeof(INITCOMMONCONTROLSEX)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return platform::RegisterDateTimePickerClasses() ? TRUE : FALSE;
}
