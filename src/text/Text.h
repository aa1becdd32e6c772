#pragma once
// Text rules shared by every subsystem: trimming of blanks and control
// characters, the CP932 (Windows Shift-JIS) encoding in which files are written
// and byte lengths are counted, and the locale's way of writing numbers and
// dates. Plain functions over QString; nothing here touches a window.
#include "text/Cp932.h"
#include "text/LocaleText.h"
#include "text/Trim.h"
