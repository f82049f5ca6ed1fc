#include "settings/MailSettings.h"

MailSettingsRecord MailSettings;
