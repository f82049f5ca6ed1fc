#pragma once

#include "nmail/NMail.h"

#include <cstdint>
#include <memory>

// The mail library's POP3 calls as the mail check makes them. The program reaches the nmail
// library through the mail module (MailLibraryModule); tests hand in the library itself
// (NMailLibrary.h) or a recording stand-in to check the order of the calls. Every text crosses
// in UTF-8: the library is told so when it is made, so that a subject in any script arrives
// whole.
class MailLibrary
{
public:
    virtual ~MailLibrary() = default;
    // The network layer, prepared at load and ended at unload; a stand-in needs neither.
    virtual int32_t InitializeWinSock() { return 0; }
    virtual int32_t SetOption(int32_t /*option*/, int32_t /*value*/) { return 0; }
    virtual int32_t EndWinSock() { return 0; }
    virtual int32_t Pop3Connect(const char* host) = 0;
    // The connect in two steps, a handle first, so that Pop3Cancel reaches a connect in
    // progress (NMailPop3NewHandle, NMailPop3ConnectHandle).
    virtual int32_t Pop3NewHandle() = 0;
    virtual int32_t Pop3ConnectHandle(int32_t handle, const char* host) = 0;
    virtual int32_t Pop3Authenticate(int32_t handle, const char* userId, const char* password,
                                     int32_t apop) = 0;
    virtual int32_t Pop3GetMailStatus(int32_t handle, int32_t mailNo, char* subject, char* date,
                                      char* from, char* header, int32_t flag) = 0;
    virtual int32_t Pop3GetMailSize(int32_t handle, int32_t mailNo) = 0;
    virtual int32_t Pop3GetMail(int32_t handle, int32_t mailNo, char* subject, char* date,
                                char* from, char* header, char* body, int32_t flag,
                                int32_t reserved) = 0;
    virtual int32_t GetMessage(int32_t kind, char* buffer, int32_t* length) = 0;
    virtual int32_t Pop3Close(int32_t handle) = 0;
    // What tells failures apart and secures connections. A stand-in that does not care about
    // them keeps these answers: no failure code, a plain connection, nothing pinned.
    virtual int32_t GetLastResult() { return 0; }
    virtual int32_t Pop3IsEncrypted(int32_t /*handle*/) { return 0; }
    virtual int32_t SetPinnedCertificate(const char* /*host*/, const char* /*fingerprint*/)
    {
        return 0;
    }
    // What new-mail tracking and cancelling need; a stand-in without them refuses UIDL.
    virtual int32_t Pop3GetUidl(int32_t /*handle*/, int32_t /*mailNo*/, char* /*buffer*/)
    {
        return NMAIL_ERR_UIDL_REFUSED;
    }
    virtual int32_t Pop3Cancel(int32_t /*handle*/) { return 0; }
    // IMAP (NMailImap...); a stand-in without it refuses every IMAP address.
    virtual int32_t ImapConnectHandle(int32_t /*handle*/, const char* /*address*/)
    {
        return NMAIL_ERR_ARGUMENT;
    }
    virtual int32_t ImapAuthenticate(int32_t /*handle*/, const char* /*user*/,
                                     const char* /*secret*/, int32_t /*how*/)
    {
        return NMAIL_ERR_ARGUMENT;
    }
    virtual int32_t ImapGetUnseenId(int32_t /*handle*/, int32_t /*index*/, char* /*buffer*/)
    {
        return NMAIL_ERR_ARGUMENT;
    }
    virtual int32_t ImapGetMailStatus(int32_t /*handle*/, int32_t /*index*/, char* /*subject*/,
                                      char* /*date*/, char* /*from*/, char* /*header*/)
    {
        return NMAIL_ERR_ARGUMENT;
    }
    virtual int32_t ImapHasIdle(int32_t /*handle*/) { return 0; }
    virtual int32_t ImapIdle(int32_t /*handle*/, int32_t /*timeoutMs*/)
    {
        return NMAIL_ERR_ARGUMENT;
    }
    virtual int32_t ImapRefresh(int32_t /*handle*/) { return NMAIL_ERR_ARGUMENT; }
};

// The library the services in use (platform/Services.h) name; without one, the mail module in
// the program folder, made on first use.
MailLibrary& CurrentMailLibrary();
