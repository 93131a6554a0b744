// The framework: everything the program's classes derive from or call.
#pragma once

#include "Object.h"
#include "String.h"
#include "File.h"
#include "PtrList.h"
#include "Gdi.h"
#include "Wnd.h"
#include "Dialog.h"
#include "ToolTipCtrl.h"
#include "ColorDialog.h"
