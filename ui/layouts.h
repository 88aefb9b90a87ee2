#pragma once
// The three windows' forms, as uic makes them from the layouts in resources/. This
// library builds all three, the splash's included, so that each window inherits its
// form alike and every program and test that includes a window's header finds them.

#include "ui_Orx_a.h"
#include "ui_Orx_s.h"
#include "ui_Orx_u.h"
