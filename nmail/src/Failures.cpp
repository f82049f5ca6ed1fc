#include "Failures.h"

#include "nmail/NMail.h"

#include <array>

namespace nmail {

namespace {

struct Entry
{
    Why why;
    int32_t code;
    const char16_t* sentence;
};

// In the order of Why, which failure() checks once.
constexpr std::array<Entry, size_t(Why::ServerBye) + 1> Table{{
    {Why::BadHandle, NMAIL_ERR_ARGUMENT, u"接続の番号が正しくありません。"},
    {Why::BadOptionValue, NMAIL_ERR_ARGUMENT, u"設定の値が正しくありません。"},
    {Why::UnknownOption, NMAIL_ERR_ARGUMENT, u"その設定の番号はありません。"},
    {Why::NoHostName, NMAIL_ERR_CONNECT, u"メールサーバーの名前がありません。"},
    {Why::BadHostName, NMAIL_ERR_CONNECT, u"メールサーバーの名前が正しくありません。"},
    {Why::SessionInUse, NMAIL_ERR_ARGUMENT, u"この接続は既に使われています。"},
    {Why::BadAccountText, NMAIL_ERR_ARGUMENT,
     u"ユーザーIDかパスワードに改行などの使えない文字が含まれています。"},
    {Why::AlreadyLoggedIn, NMAIL_ERR_ARGUMENT, u"既にログインしています。"},
    {Why::NotLoggedIn, NMAIL_ERR_ARGUMENT, u"まだログインしていません。"},
    {Why::NoSuchMessage, NMAIL_ERR_ARGUMENT, u"そのメールの番号はありません。"},
    {Why::SizeUnknown, NMAIL_ERR_ARGUMENT,
     u"メールの大きさが分からないため、受け取りませんでした。"},
    {Why::HostNotFound, NMAIL_ERR_CONNECT, u"メールサーバーが見つかりませんでした。"},
    {Why::LookupTimedOut, NMAIL_ERR_CONNECT,
     u"メールサーバーの名前を時間内に調べられませんでした。"},
    {Why::ConnectFailed, NMAIL_ERR_CONNECT, u"メールサーバーに接続できませんでした。"},
    {Why::ConnectTimedOut, NMAIL_ERR_CONNECT, u"メールサーバーへの接続が時間切れになりました。"},
    {Why::TlsFailed, NMAIL_ERR_CONNECT,
     u"メールサーバーとの暗号化通信を始められませんでした(証明書を確認してください)。"},
    {Why::CertificateUntrusted, NMAIL_ERR_CERTIFICATE,
     u"メールサーバーの証明書を確認できないため、暗号化通信を始めませんでした。"},
    {Why::CertificateChanged, NMAIL_ERR_CERTIFICATE_CHANGED,
     u"メールサーバーの証明書が、信頼すると決めた証明書と違います。"
     u"なりすましのおそれがあるため、接続しませんでした。"},
    {Why::StlsRefused, NMAIL_ERR_CONNECT,
     u"メールサーバーが暗号化通信(STLS)を提供しながら断ったため、接続をやめました。"},
    {Why::TlsMissing, NMAIL_ERR_TLS_MISSING,
     u"メールサーバーが暗号化通信(STLS)を提供していないため、接続をやめました。"},
    {Why::NoGreetingInTime, NMAIL_ERR_CONNECT,
     u"メールサーバーから時間内に最初の応答がありませんでした。"},
    {Why::ClosedBeforeGreeting, NMAIL_ERR_CONNECT,
     u"メールサーバーが最初の応答をせずに接続を切りました。"},
    {Why::GreetingRefused, NMAIL_ERR_CONNECT, u"メールサーバーが接続を断りました。"},
    {Why::LoginRefused, NMAIL_ERR_LOGIN,
     u"ユーザーIDまたはパスワードが正しくないため、ログインできませんでした。"},
    {Why::NoApopTimestamp, NMAIL_ERR_LOGIN,
     u"メールサーバーの最初の応答に正しいAPOPのタイムスタンプがないため、ログインできませんで"
     u"した。"},
    {Why::StatRefused, NMAIL_ERR_SERVER, u"メールの数を調べられませんでした。"},
    {Why::BadStat, NMAIL_ERR_PROTOCOL, u"メールサーバーが返したメールの数が正しくありません。"},
    {Why::TopRefused, NMAIL_ERR_SERVER, u"メールのヘッダーを受け取れませんでした。"},
    {Why::ListRefused, NMAIL_ERR_SERVER, u"メールの大きさを調べられませんでした。"},
    {Why::BadList, NMAIL_ERR_PROTOCOL, u"メールサーバーが返したメールの大きさが正しくありません。"},
    {Why::UidlRefused, NMAIL_ERR_UIDL_REFUSED, u"メールの識別番号(UIDL)を調べられませんでした。"},
    {Why::BadUidl, NMAIL_ERR_PROTOCOL,
     u"メールサーバーが返したメールの識別番号(UIDL)が正しくありません。"},
    {Why::RetrieveRefused, NMAIL_ERR_SERVER, u"メールを受け取れませんでした。"},
    {Why::MessageTooLarge, NMAIL_ERR_TOO_LARGE,
     u"メールが知らされた大きさより大きいため、途中までしか受け取れませんでした。"},
    {Why::BufferTooSmall, NMAIL_ERR_TOO_LARGE,
     u"受け取り用の領域が小さすぎるため、途中までしか書き込めませんでした。"},
    {Why::ReplyTimedOut, NMAIL_ERR_TIMEOUT, u"メールサーバーが時間内に応答しませんでした。"},
    {Why::ConnectionLost, NMAIL_ERR_CLOSED, u"メールサーバーとの接続が切れました。"},
    {Why::Cancelled, NMAIL_ERR_CLOSED, u"受信を中止しました。"},
    {Why::NotConnected, NMAIL_ERR_CLOSED, u"メールサーバーとの接続が切れています。"},
    {Why::LineTooLong, NMAIL_ERR_PROTOCOL, u"メールサーバーの応答の行が長すぎます。"},
    {Why::BadReply, NMAIL_ERR_PROTOCOL, u"メールサーバーの応答が正しくありません。"},
    {Why::StartTlsRefused, NMAIL_ERR_CONNECT,
     u"メールサーバーが暗号化通信(STARTTLS)を提供しながら断ったため、接続をやめました。"},
    {Why::StartTlsMissing, NMAIL_ERR_TLS_MISSING,
     u"メールサーバーが暗号化通信(STARTTLS)を提供していないため、接続をやめました。"},
    {Why::LoginDisabled, NMAIL_ERR_LOGIN,
     u"メールサーバーがこの接続でのログインを受け付けていません(LOGINDISABLED)。"},
    {Why::BearerNeedsTls, NMAIL_ERR_TLS_MISSING,
     u"暗号化されていない接続には、アクセストークンを送りません。"},
    {Why::NoBearerMechanism, NMAIL_ERR_LOGIN,
     u"メールサーバーがアクセストークンによるログインに対応していません。"},
    {Why::TokenRefused, NMAIL_ERR_TOKEN_REFUSED,
     u"メールサーバーがアクセストークンを受け付けませんでした。"},
    {Why::ExamineRefused, NMAIL_ERR_SERVER, u"メールボックスを開けませんでした。"},
    {Why::SearchRefused, NMAIL_ERR_SERVER, u"未読のメールを調べられませんでした。"},
    {Why::FetchRefused, NMAIL_ERR_SERVER, u"メールのヘッダーを受け取れませんでした。"},
    {Why::IdleRefused, NMAIL_ERR_SERVER, u"メールサーバーが新着の待ち受け(IDLE)を断りました。"},
    {Why::ServerBye, NMAIL_ERR_CLOSED, u"メールサーバーが接続を終えました。"},
}};

constexpr bool inOrder()
{
    for (size_t i = 0; i < Table.size(); ++i) {
        if (size_t(Table[i].why) != i) {
            return false;
        }
    }
    return true;
}
static_assert(inOrder(), "the failure table must list every Why in its order");

} // namespace

Failure failure(Why why, const QString& detail)
{
    const Entry& entry = Table[size_t(why)];
    return makeFailure(entry.code, QString::fromUtf16(entry.sentence), detail);
}

} // namespace nmail
