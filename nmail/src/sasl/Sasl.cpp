#include "sasl/Sasl.h"

namespace nmail::sasl {

namespace {
constexpr char Separator = '\x01';
} // namespace

QByteArray plain(const QByteArray& user, const QByteArray& password)
{
    QByteArray message;
    message.append('\0').append(user).append('\0').append(password);
    return message;
}

QByteArray xoauth2(const QByteArray& user, const QByteArray& token)
{
    return "user=" + user + Separator + "auth=Bearer " + token + Separator + Separator;
}

QByteArray oauthBearer(const QByteArray& user, const QByteArray& host, quint16 port,
                       const QByteArray& token)
{
    // A "," or "=" in the name would end or escape a field of the GS2 header (RFC 5801 §4).
    QByteArray name = user;
    name.replace("=", "=3D").replace(",", "=2C");
    return "n,a=" + name + "," + Separator + "host=" + host + Separator +
           "port=" + QByteArray::number(port) + Separator + "auth=Bearer " + token + Separator +
           Separator;
}

QByteArray oauthBearerAbort()
{
    return QByteArray(1, Separator);
}

bool fitsPlain(const QByteArray& field)
{
    return !field.contains('\0');
}

bool fitsBearer(const QByteArray& field)
{
    return !field.contains('\0') && !field.contains(Separator);
}

} // namespace nmail::sasl
