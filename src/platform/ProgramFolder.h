#pragma once

#include <QString>
#include <QStringView>

// The program folder: the folder that holds the executable, without a trailing separator.
QString ProgramFolder();

// The program folder followed by a literal that begins with a backslash, the way the program's
// paths are written ("\★MailData\ini.ini"). Backslashes become the platform's separator.
QString ProgramPath(QStringView backslashLiteral);
QString ProgramPath(const QString& folder, QStringView backslashLiteral);

// Whether this user may create and replace files in the program folder: true for the build
// folder or a copied folder, false for a copy installed into the system.
bool ProgramFolderWritable();
