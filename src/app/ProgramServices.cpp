#include "app/ProgramServices.h"

#include "mail/MailLibrary.h"
#include "mascot/Wait.h"

ProgramServices::ProgramServices() : m_mail(MakeNMailLibrary())
{
    Services services;
    services.mail = m_mail.get();
    services.clock = DefaultMillisecondClock();
    m_inUse = std::make_unique<UseServices>(services);
}

ProgramServices::~ProgramServices() = default;
