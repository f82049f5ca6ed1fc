#pragma once

#include <QtGlobal>

// 1 while the kitten is asked to meow on every behaviour tick: set by the bar's 鳴かす button and
// by a mail check that found mail, cleared when the bar or the notice window closes. The tick
// only reads it.
extern qint16 MeowFlag;
