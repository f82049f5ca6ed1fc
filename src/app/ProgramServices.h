#pragma once

#include "platform/Services.h"

#include <memory>

class MailLibrary;

// The process's services, made once by main() and in use for the whole run: the mail library
// and the clock are made and owned here. Two stay with their subsystems and are made on first
// use: the sound output, whose audio thread has to end with the application object rather than
// with this, and the dial-up service, which connects to the system bus and is needed only by a
// user who hangs up after checks. The settings files are read and written where they are used,
// through the settings paths.
class ProgramServices
{
public:
    ProgramServices();
    ~ProgramServices();
    ProgramServices(const ProgramServices&) = delete;
    ProgramServices& operator=(const ProgramServices&) = delete;

private:
    std::unique_ptr<MailLibrary> m_mail;
    std::unique_ptr<UseServices> m_inUse;
};
