#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>

class AccountSource;
class DialUpService;
class MailLibrary;
class SecretStore;
class SoundService;

// What the program's windows and routines use of the world around them. main() builds the
// real ones once (app/ProgramServices) and puts them in use for the whole run; a test builds its
// own with the fakes it needs and puts them in use for its lifetime. Each field left empty
// means the real default, made on first use.
struct Services
{
    MailLibrary* mail = nullptr;
    SoundService* sound = nullptr;
    DialUpService* dialUp = nullptr;
    SecretStore* secrets = nullptr;    // the desktop's keyring
    AccountSource* accounts = nullptr; // the desktop's online accounts
    QString programFolder;             // the folder that holds the executable
    std::function<qint64()> clock;     // milliseconds, only ever moving forward
    float twipsPerPixelX = 0;          // 0: from the primary screen
    float twipsPerPixelY = 0;
    void (*endProcess)(int) = nullptr; // ends the process at once
};

// The services in use.
const Services& CurrentServices();

// Puts services in use for its own lifetime, then puts back those in use before.
class UseServices
{
public:
    explicit UseServices(const Services& services);
    ~UseServices();
    UseServices(const UseServices&) = delete;
    UseServices& operator=(const UseServices&) = delete;

private:
    Services m_previous;
};
