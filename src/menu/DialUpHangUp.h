#pragma once

#include "platform/DialUpService.h"

// The whole hang-up routine, as the menu bar's hidden 切断 button and the mail check run it:
// enumerate, then hang up each connection in order, with no pause and nothing shown.
void HangUpAllDialUp(DialUpService& service);
