#pragma once

#include <QString>

// Where the settings live. The two profile files sit in the installation's ★MailData folder,
// which the program never creates; the server file is named relative to the current directory.
QString OptionsFilePath(); // program folder + "\★MailData\ini.ini": the hang-up flag
QString AccountFilePath(); // program folder + "\★MailData\iniIdPass.ini": user ID, password
QString ServerFilePath();  // "vbmail.ini" in the current directory
// Beside the options file: per mail server, whether it spoke TLS and the certificate its user
// trusts ("tls.ini").
QString ServerTrustFilePath();

// The one section of both profile files.
inline const QString ProfileSection = QStringLiteral("EXEINI");

// Every mail check reads NAME and NAME2 through a buffer of this many bytes, one of them for the
// terminating NUL, so a stored value may take at most 255 bytes.
inline constexpr int AccountReadBuffer = 256;
