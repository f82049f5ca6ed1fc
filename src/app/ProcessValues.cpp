#include "app/ProcessValues.h"

MailSettingsRecord MailSettings;
qint16 MeowFlag = 0;
