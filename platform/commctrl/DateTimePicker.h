// The date and time picker's window class ("SysDateTimePick32"); its behaviour
// is described with the public names in CommCtrl.h. Internal to the common
// controls: InitCommonControlsEx registers it, and its drop-down calendar
// reports back through the two calls below, on the picker's thread.
#pragma once

#include "platform/window/WindowTypes.h"

namespace platform {

// Registers the picker's class and its drop-down's once; true when both are registered.
bool RegisterDateTimePickerClasses();
// The drop-down picked `date`: the picker takes it and takes the calendar up.
void PickerTakeDropDownDate(HWND picker, const SYSTEMTIME& date);
// `dropDown` is going away; the picker forgets it when it is still its own.
void PickerForgetDropDown(HWND picker, HWND dropDown);

}  // namespace platform
