#include "mascot/MeowFlag.h"

qint16 MeowFlag = 0;
