// The entry point of the mail module (mofurin-mail), which MailLibraryModule loads.
#include "mail/NMailLibrary.h"

#include <QtGlobal>

extern "C" Q_DECL_EXPORT MailLibrary* mofurinMakeMailLibrary()
{
    return MakeNMailLibrary().release();
}
