#pragma once

#include <QString>
#include <QtGlobal>

// The mail settings while the program runs: the server file fills the first four fields, the
// account dialog and every mail check the last two.
struct MailSettingsRecord
{
    QString SmtpServer;
    QString Pop3Server; // empty: no server configured yet
    QString MailAddress;
    qint16 UseApop = 0; // 0 plain USER/PASS login; any other value APOP
    QString UserId;
    QString UserPass; // plain text, as the account file holds it
};

// The one record of the process; every string empty and UseApop 0 at start. Used on the
// user-interface thread only.
extern MailSettingsRecord MailSettings;
