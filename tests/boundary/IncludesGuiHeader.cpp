// SPDX-License-Identifier: GPL-3.0-or-later
// A core source that reaches for the windows: it must not compile.
#include "engine/Functions.h"
#include "windows/Utilities.h"
