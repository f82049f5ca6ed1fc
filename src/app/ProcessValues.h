#pragma once

#include <QString>
#include <QtGlobal>

// The two values the whole program shares while it runs. They belong to the program rather than
// to any one window, so every window reaches them here. Both are used on the user-interface
// thread only.

// The mail settings: the server file fills the first four fields, the account dialog and every
// mail check the last two.
struct MailSettingsRecord
{
    QString SmtpServer;
    QString Pop3Server; // empty: no server configured yet
    QString MailAddress;
    qint16 UseApop = 0; // 0 plain USER/PASS login; any other value APOP
    QString UserId;
    QString UserPass; // plain text, as the account file holds it
};

// The one record of the process; every string empty and UseApop 0 at start.
extern MailSettingsRecord MailSettings;

// 1 while the kitten is asked to meow on every behaviour tick: set by the bar's 鳴かす button and
// by a mail check that found mail, cleared when the bar or the notice window closes. The tick
// only reads it.
extern qint16 MeowFlag;
