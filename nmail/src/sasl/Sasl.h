#pragma once

#include <QByteArray>

namespace nmail::sasl {

// The client's first message of the SASL mechanisms the library speaks, ready to be base64'd
// into IMAP's AUTHENTICATE (or POP3's AUTH). Each takes the credentials as bytes (UTF-8) and
// returns the raw message; nothing here is sent or kept.

// PLAIN (RFC 4616): no authorisation identity, the user, the password.
QByteArray plain(const QByteArray& user, const QByteArray& password);

// XOAUTH2, the bearer-token mechanism of Google and Microsoft: user, then the token.
QByteArray xoauth2(const QByteArray& user, const QByteArray& token);

// OAUTHBEARER (RFC 7628 §3.1): the GS2 header with the user as authorisation identity, the host
// and port the client connected to, and the token.
QByteArray oauthBearer(const QByteArray& user, const QByteArray& host, quint16 port,
                       const QByteArray& token);

// After the server refused a token it sends a challenge (a JSON error) and waits for the client
// to end the exchange (RFC 7628 §3.2.3): a single ^A for OAUTHBEARER, an empty response for
// XOAUTH2.
QByteArray oauthBearerAbort();

// Whether credentials are fit for these messages: a NUL (PLAIN's separator) or ^A (the bearer
// mechanisms' separator) in them would end a field early and let the rest pass as another.
bool fitsPlain(const QByteArray& field);
bool fitsBearer(const QByteArray& field);

} // namespace nmail::sasl
