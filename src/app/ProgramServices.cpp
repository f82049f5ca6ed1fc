#include "app/ProgramServices.h"

#include "mail/MailLibraryModule.h"
#include "mascot/Wait.h"
#include "platform/DialUpService.h"
#include "platform/OnlineAccounts.h"
#include "platform/ProgramFolder.h"
#include "sound/SoundOutputModule.h"

ProgramServices::ProgramServices()
    : m_mail(std::make_unique<MailLibraryModule>(ProgramFolder())),
      m_sound(std::make_unique<SoundOutputModule>(ProgramFolder())),
      m_dialUp(std::make_unique<SystemDialUpService>()),
      m_accounts(std::make_unique<GnomeOnlineAccounts>())
{
    Services services;
    services.mail = m_mail.get();
    services.sound = m_sound.get();
    services.dialUp = m_dialUp.get();
    services.accounts = m_accounts.get();
    services.clock = DefaultMillisecondClock();
    m_inUse = std::make_unique<UseServices>(services);
}

// The services go out of use before they end.
ProgramServices::~ProgramServices()
{
    m_inUse.reset();
}
