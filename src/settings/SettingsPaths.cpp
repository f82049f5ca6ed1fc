#include "settings/SettingsPaths.h"

#include "platform/ProgramFolder.h"

QString OptionsFilePath()
{
    return ProgramPath(u"\\★MailData\\ini.ini");
}

QString AccountFilePath()
{
    return ProgramPath(u"\\★MailData\\iniIdPass.ini");
}

QString MailDataFolderPath()
{
    return ProgramPath(u"\\★MailData");
}

QString ServerFilePath()
{
    // A bare relative name, resolved against whatever the current directory is at each use.
    return QStringLiteral("vbmail.ini");
}
