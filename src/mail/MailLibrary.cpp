#include "mail/MailLibrary.h"

#include "mail/MailLibraryModule.h"
#include "platform/Services.h"

#include <QCoreApplication>

namespace {
MailLibraryModule* g_default = nullptr;

// The module's library ends with the application object, before the module's own statics.
void EndDefaultLibrary()
{
    delete g_default;
    g_default = nullptr;
}
} // namespace

MailLibrary& CurrentMailLibrary()
{
    if (MailLibrary* chosen = CurrentServices().mail)
        return *chosen;
    if (g_default == nullptr) {
        QString folder = CurrentServices().programFolder;
        if (folder.isEmpty())
            folder = QCoreApplication::applicationDirPath();
        g_default = new MailLibraryModule(folder);
        qAddPostRoutine(EndDefaultLibrary);
    }
    return *g_default;
}
