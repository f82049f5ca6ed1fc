#include "mail/NMailLibrary.h"

#include "nmail/NMail.h"

namespace {
class NMailLibrary final : public MailLibrary
{
public:
    NMailLibrary() { NMailSetOption(NMAIL_OPTION_TEXT_ENCODING, NMAIL_TEXT_UTF8); }
    int32_t InitializeWinSock() override { return NMailInitializeWinSock(); }
    int32_t SetOption(int32_t option, int32_t value) override
    {
        return NMailSetOption(option, value);
    }
    int32_t EndWinSock() override { return NMailEndWinSock(); }
    int32_t Pop3Connect(const char* host) override { return NMailPop3Connect(host); }
    int32_t Pop3NewHandle() override { return NMailPop3NewHandle(); }
    int32_t Pop3ConnectHandle(int32_t handle, const char* host) override
    {
        return NMailPop3ConnectHandle(handle, host);
    }
    int32_t Pop3Authenticate(int32_t handle, const char* userId, const char* password,
                             int32_t apop) override
    {
        return NMailPop3Authenticate(handle, userId, password, apop);
    }
    int32_t Pop3GetMailStatus(int32_t handle, int32_t mailNo, char* subject, char* date, char* from,
                              char* header, int32_t flag) override
    {
        return NMailPop3GetMailStatus(handle, mailNo, subject, date, from, header, flag);
    }
    int32_t Pop3GetMailSize(int32_t handle, int32_t mailNo) override
    {
        return NMailPop3GetMailSize(handle, mailNo);
    }
    int32_t Pop3GetMail(int32_t handle, int32_t mailNo, char* subject, char* date, char* from,
                        char* header, char* body, int32_t flag, int32_t reserved) override
    {
        return NMailPop3GetMail(handle, mailNo, subject, date, from, header, body, flag, reserved);
    }
    int32_t GetMessage(int32_t kind, char* buffer, int32_t* length) override
    {
        return NMailGetMessage(kind, buffer, length);
    }
    int32_t Pop3Close(int32_t handle) override { return NMailPop3Close(handle); }
    int32_t GetLastResult() override { return NMailGetLastResult(); }
    int32_t Pop3IsEncrypted(int32_t handle) override { return NMailPop3IsEncrypted(handle); }
    int32_t SetPinnedCertificate(const char* host, const char* fingerprint) override
    {
        return NMailSetPinnedCertificate(host, fingerprint);
    }
    int32_t Pop3GetUidl(int32_t handle, int32_t mailNo, char* buffer) override
    {
        return NMailPop3GetUidl(handle, mailNo, buffer);
    }
    int32_t Pop3Cancel(int32_t handle) override { return NMailPop3Cancel(handle); }
    int32_t ImapConnectHandle(int32_t handle, const char* address) override
    {
        return NMailImapConnectHandle(handle, address);
    }
    int32_t ImapAuthenticate(int32_t handle, const char* user, const char* secret,
                             int32_t how) override
    {
        return NMailImapAuthenticate(handle, user, secret, how);
    }
    int32_t ImapGetUnseenId(int32_t handle, int32_t index, char* buffer) override
    {
        return NMailImapGetUnseenId(handle, index, buffer);
    }
    int32_t ImapGetMailStatus(int32_t handle, int32_t index, char* subject, char* date, char* from,
                              char* header) override
    {
        return NMailImapGetMailStatus(handle, index, subject, date, from, header);
    }
    int32_t ImapHasIdle(int32_t handle) override { return NMailImapHasIdle(handle); }
    int32_t ImapIdle(int32_t handle, int32_t timeoutMs) override
    {
        return NMailImapIdle(handle, timeoutMs);
    }
    int32_t ImapRefresh(int32_t handle) override { return NMailImapRefresh(handle); }
};
} // namespace

std::unique_ptr<MailLibrary> MakeNMailLibrary()
{
    return std::make_unique<NMailLibrary>();
}
