#pragma once

#include "mail/MailLibrary.h"

#include <QLibrary>
#include <QString>
#include <atomic>
#include <mutex>
#include <utility>
#include <vector>

// The nmail library, kept in a module of its own (with Qt Network, the system's TLS and
// Kerberos libraries it brings) that is loaded the first time a check talks to a server. The
// kitten's start does not pay for linking them, and one that never checks never loads them.
//
// The load's network options are kept until then and handed over first. The module lives in
// the program folder; when it cannot be loaded (a broken installation) every check fails with
// the reason as its message, as a connection that cannot be made does.
//
// Safe to call from the check's worker thread and the window thread at once, as the library is.
class MailLibraryModule final : public MailLibrary
{
public:
    // programFolder: the folder that holds the executable and the module.
    explicit MailLibraryModule(const QString& programFolder);
    ~MailLibraryModule() override;
    MailLibraryModule(const MailLibraryModule&) = delete;
    MailLibraryModule& operator=(const MailLibraryModule&) = delete;

    int32_t InitializeWinSock() override;
    int32_t SetOption(int32_t option, int32_t value) override;
    int32_t EndWinSock() override;
    int32_t Pop3Connect(const char* host) override;
    int32_t Pop3NewHandle() override;
    int32_t Pop3ConnectHandle(int32_t handle, const char* host) override;
    int32_t Pop3Authenticate(int32_t handle, const char* userId, const char* password,
                             int32_t apop) override;
    int32_t Pop3GetMailStatus(int32_t handle, int32_t mailNo, char* subject, char* date, char* from,
                              char* header, int32_t flag) override;
    int32_t Pop3GetMailSize(int32_t handle, int32_t mailNo) override;
    int32_t Pop3GetMail(int32_t handle, int32_t mailNo, char* subject, char* date, char* from,
                        char* header, char* body, int32_t flag, int32_t reserved) override;
    int32_t GetMessage(int32_t kind, char* buffer, int32_t* length) override;
    int32_t Pop3Close(int32_t handle) override;
    int32_t GetLastResult() override;
    int32_t Pop3IsEncrypted(int32_t handle) override;
    int32_t SetPinnedCertificate(const char* host, const char* fingerprint) override;
    int32_t Pop3GetUidl(int32_t handle, int32_t mailNo, char* buffer) override;
    int32_t Pop3Cancel(int32_t handle) override;
    int32_t ImapConnectHandle(int32_t handle, const char* address) override;
    int32_t ImapAuthenticate(int32_t handle, const char* user, const char* secret,
                             int32_t how) override;
    int32_t ImapGetUnseenId(int32_t handle, int32_t index, char* buffer) override;
    int32_t ImapGetMailStatus(int32_t handle, int32_t index, char* subject, char* date, char* from,
                              char* header) override;
    int32_t ImapHasIdle(int32_t handle) override;
    int32_t ImapIdle(int32_t handle, int32_t timeoutMs) override;
    int32_t ImapRefresh(int32_t handle) override;

    // The entry point the module exports: makes the library, owned by the caller.
    static constexpr const char* EntryPoint = "mofurinMakeMailLibrary";

private:
    // The library, loaded on the first call; nullptr when the module cannot be loaded.
    MailLibrary* library();
    // The library when it is loaded already: a handle can only come from a loaded one.
    MailLibrary* loaded() const { return m_loaded.load(std::memory_order_acquire); }

    QLibrary m_module;
    std::mutex m_mutex;
    std::atomic<MailLibrary*> m_loaded{nullptr};
    bool m_tried = false;
    QString m_failure;
    std::vector<std::pair<int32_t, int32_t>> m_options;
};
