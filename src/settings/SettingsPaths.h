#pragma once

#include <QString>

// Where the settings live. The two profile files sit in the installation's ★MailData folder,
// which the program never creates; the server file is named relative to the current directory.
QString OptionsFilePath();    // program folder + "\★MailData\ini.ini": the hang-up flag
QString AccountFilePath();    // program folder + "\★MailData\iniIdPass.ini": user ID, password
QString ServerFilePath();     // "vbmail.ini" in the current directory
QString MailDataFolderPath(); // program folder + "\★MailData": what the mail check remembers

// The one section of both profile files.
inline const QString ProfileSection = QStringLiteral("EXEINI");
