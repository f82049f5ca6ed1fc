#pragma once

#include "platform/Services.h"

#include <memory>

// The process's services, made once by main() after the application object and in use for the
// whole run: the mail library, the sound output, the dial-up service, the desktop's online accounts
// and the clock. The sound output and the dial-up service load or connect on first use, so making
// them here costs the start-up nothing. Destroyed before the application object, so the sound
// output's audio thread ends while Qt Multimedia still works. The settings files are read and
// written where they are used, through the settings paths; MailSettings and MeowFlag are the
// program's shared values (app/ProcessValues.h).
class ProgramServices
{
public:
    ProgramServices();
    ~ProgramServices();
    ProgramServices(const ProgramServices&) = delete;
    ProgramServices& operator=(const ProgramServices&) = delete;

private:
    std::unique_ptr<MailLibrary> m_mail;
    std::unique_ptr<SoundService> m_sound;
    std::unique_ptr<DialUpService> m_dialUp;
    std::unique_ptr<AccountSource> m_accounts;
    std::unique_ptr<UseServices> m_inUse;
};
