#include "Failures.h"

#include "nmail/NMail.h"

#include <QCoreApplication>
#include <array>

namespace nmail {

namespace {

struct Entry
{
    Why why;
    int32_t code;
    const char* sentence; // UTF-8, looked up in the catalogue when a call fails
};

// In the order of Why, which failure() checks once.
constexpr std::array<Entry, size_t(Why::ServerBye) + 1> Table{{
    {Why::BadHandle, NMAIL_ERR_ARGUMENT,
     QT_TRANSLATE_NOOP("Failures", "接続の番号が正しくありません。")},
    {Why::BadOptionValue, NMAIL_ERR_ARGUMENT,
     QT_TRANSLATE_NOOP("Failures", "設定の値が正しくありません。")},
    {Why::UnknownOption, NMAIL_ERR_ARGUMENT,
     QT_TRANSLATE_NOOP("Failures", "その設定の番号はありません。")},
    {Why::NoHostName, NMAIL_ERR_CONNECT,
     QT_TRANSLATE_NOOP("Failures", "メールサーバーの名前がありません。")},
    {Why::BadHostName, NMAIL_ERR_CONNECT,
     QT_TRANSLATE_NOOP("Failures", "メールサーバーの名前が正しくありません。")},
    {Why::SessionInUse, NMAIL_ERR_ARGUMENT,
     QT_TRANSLATE_NOOP("Failures", "この接続は既に使われています。")},
    {Why::BadAccountText, NMAIL_ERR_ARGUMENT,
     QT_TRANSLATE_NOOP("Failures",
                       "ユーザーIDかパスワードに改行などの使えない文字が含まれています。")},
    {Why::AlreadyLoggedIn, NMAIL_ERR_ARGUMENT,
     QT_TRANSLATE_NOOP("Failures", "既にログインしています。")},
    {Why::NotLoggedIn, NMAIL_ERR_ARGUMENT,
     QT_TRANSLATE_NOOP("Failures", "まだログインしていません。")},
    {Why::NoSuchMessage, NMAIL_ERR_ARGUMENT,
     QT_TRANSLATE_NOOP("Failures", "そのメールの番号はありません。")},
    {Why::SizeUnknown, NMAIL_ERR_ARGUMENT,
     QT_TRANSLATE_NOOP("Failures", "メールの大きさが分からないため、受け取りませんでした。")},
    {Why::HostNotFound, NMAIL_ERR_CONNECT,
     QT_TRANSLATE_NOOP("Failures", "メールサーバーが見つかりませんでした。")},
    {Why::LookupTimedOut, NMAIL_ERR_CONNECT,
     QT_TRANSLATE_NOOP("Failures", "メールサーバーの名前を時間内に調べられませんでした。")},
    {Why::ConnectFailed, NMAIL_ERR_CONNECT,
     QT_TRANSLATE_NOOP("Failures", "メールサーバーに接続できませんでした。")},
    {Why::ConnectTimedOut, NMAIL_ERR_CONNECT,
     QT_TRANSLATE_NOOP("Failures", "メールサーバーへの接続が時間切れになりました。")},
    {Why::TlsFailed, NMAIL_ERR_CONNECT,
     QT_TRANSLATE_NOOP(
         "Failures",
         "メールサーバーとの暗号化通信を始められませんでした(証明書を確認してください)。")},
    {Why::CertificateUntrusted, NMAIL_ERR_CERTIFICATE,
     QT_TRANSLATE_NOOP("Failures",
                       "メールサーバーの証明書を確認できないため、暗号化通信を始めませんでした。")},
    {Why::CertificateChanged, NMAIL_ERR_CERTIFICATE_CHANGED,
     QT_TRANSLATE_NOOP("Failures", "メールサーバーの証明書が、信頼すると決めた証明書と違います。"
                                   "なりすましのおそれがあるため、接続しませんでした。")},
    {Why::StlsRefused, NMAIL_ERR_CONNECT,
     QT_TRANSLATE_NOOP(
         "Failures",
         "メールサーバーが暗号化通信(STLS)を提供しながら断ったため、接続をやめました。")},
    {Why::TlsMissing, NMAIL_ERR_TLS_MISSING,
     QT_TRANSLATE_NOOP("Failures",
                       "メールサーバーが暗号化通信(STLS)を提供していないため、接続をやめました。")},
    {Why::NoGreetingInTime, NMAIL_ERR_CONNECT,
     QT_TRANSLATE_NOOP("Failures", "メールサーバーから時間内に最初の応答がありませんでした。")},
    {Why::ClosedBeforeGreeting, NMAIL_ERR_CONNECT,
     QT_TRANSLATE_NOOP("Failures", "メールサーバーが最初の応答をせずに接続を切りました。")},
    {Why::GreetingRefused, NMAIL_ERR_CONNECT,
     QT_TRANSLATE_NOOP("Failures", "メールサーバーが接続を断りました。")},
    {Why::LoginRefused, NMAIL_ERR_LOGIN,
     QT_TRANSLATE_NOOP("Failures",
                       "ユーザーIDまたはパスワードが正しくないため、ログインできませんでした。")},
    {Why::NoApopTimestamp, NMAIL_ERR_LOGIN,
     QT_TRANSLATE_NOOP(
         "Failures",
         "メールサーバーの最初の応答に正しいAPOPのタイムスタンプがないため、ログインできませんで"
         "した。")},
    {Why::StatRefused, NMAIL_ERR_SERVER,
     QT_TRANSLATE_NOOP("Failures", "メールの数を調べられませんでした。")},
    {Why::BadStat, NMAIL_ERR_PROTOCOL,
     QT_TRANSLATE_NOOP("Failures", "メールサーバーが返したメールの数が正しくありません。")},
    {Why::TopRefused, NMAIL_ERR_SERVER,
     QT_TRANSLATE_NOOP("Failures", "メールのヘッダーを受け取れませんでした。")},
    {Why::ListRefused, NMAIL_ERR_SERVER,
     QT_TRANSLATE_NOOP("Failures", "メールの大きさを調べられませんでした。")},
    {Why::BadList, NMAIL_ERR_PROTOCOL,
     QT_TRANSLATE_NOOP("Failures", "メールサーバーが返したメールの大きさが正しくありません。")},
    {Why::UidlRefused, NMAIL_ERR_UIDL_REFUSED,
     QT_TRANSLATE_NOOP("Failures", "メールの識別番号(UIDL)を調べられませんでした。")},
    {Why::BadUidl, NMAIL_ERR_PROTOCOL,
     QT_TRANSLATE_NOOP("Failures",
                       "メールサーバーが返したメールの識別番号(UIDL)が正しくありません。")},
    {Why::RetrieveRefused, NMAIL_ERR_SERVER,
     QT_TRANSLATE_NOOP("Failures", "メールを受け取れませんでした。")},
    {Why::MessageTooLarge, NMAIL_ERR_TOO_LARGE,
     QT_TRANSLATE_NOOP(
         "Failures", "メールが知らされた大きさより大きいため、途中までしか受け取れませんでした。")},
    {Why::BufferTooSmall, NMAIL_ERR_TOO_LARGE,
     QT_TRANSLATE_NOOP("Failures",
                       "受け取り用の領域が小さすぎるため、途中までしか書き込めませんでした。")},
    {Why::ReplyTimedOut, NMAIL_ERR_TIMEOUT,
     QT_TRANSLATE_NOOP("Failures", "メールサーバーが時間内に応答しませんでした。")},
    {Why::ConnectionLost, NMAIL_ERR_CLOSED,
     QT_TRANSLATE_NOOP("Failures", "メールサーバーとの接続が切れました。")},
    {Why::Cancelled, NMAIL_ERR_CLOSED, QT_TRANSLATE_NOOP("Failures", "受信を中止しました。")},
    {Why::NotConnected, NMAIL_ERR_CLOSED,
     QT_TRANSLATE_NOOP("Failures", "メールサーバーとの接続が切れています。")},
    {Why::LineTooLong, NMAIL_ERR_PROTOCOL,
     QT_TRANSLATE_NOOP("Failures", "メールサーバーの応答の行が長すぎます。")},
    {Why::ReplyTooLarge, NMAIL_ERR_PROTOCOL,
     QT_TRANSLATE_NOOP("Failures", "メールサーバーの応答が大きすぎます。")},
    {Why::BadReply, NMAIL_ERR_PROTOCOL,
     QT_TRANSLATE_NOOP("Failures", "メールサーバーの応答が正しくありません。")},
    {Why::StartTlsRefused, NMAIL_ERR_CONNECT,
     QT_TRANSLATE_NOOP(
         "Failures",
         "メールサーバーが暗号化通信(STARTTLS)を提供しながら断ったため、接続をやめました。")},
    {Why::StartTlsMissing, NMAIL_ERR_TLS_MISSING,
     QT_TRANSLATE_NOOP(
         "Failures",
         "メールサーバーが暗号化通信(STARTTLS)を提供していないため、接続をやめました。")},
    {Why::LoginDisabled, NMAIL_ERR_LOGIN,
     QT_TRANSLATE_NOOP(
         "Failures", "メールサーバーがこの接続でのログインを受け付けていません(LOGINDISABLED)。")},
    {Why::BearerNeedsTls, NMAIL_ERR_TLS_MISSING,
     QT_TRANSLATE_NOOP("Failures", "暗号化されていない接続には、アクセストークンを送りません。")},
    {Why::NoBearerMechanism, NMAIL_ERR_LOGIN,
     QT_TRANSLATE_NOOP("Failures",
                       "メールサーバーがアクセストークンによるログインに対応していません。")},
    {Why::TokenRefused, NMAIL_ERR_TOKEN_REFUSED,
     QT_TRANSLATE_NOOP("Failures", "メールサーバーがアクセストークンを受け付けませんでした。")},
    {Why::ExamineRefused, NMAIL_ERR_SERVER,
     QT_TRANSLATE_NOOP("Failures", "メールボックスを開けませんでした。")},
    {Why::SearchRefused, NMAIL_ERR_SERVER,
     QT_TRANSLATE_NOOP("Failures", "未読のメールを調べられませんでした。")},
    {Why::FetchRefused, NMAIL_ERR_SERVER,
     QT_TRANSLATE_NOOP("Failures", "メールのヘッダーを受け取れませんでした。")},
    {Why::IdleRefused, NMAIL_ERR_SERVER,
     QT_TRANSLATE_NOOP("Failures", "メールサーバーが新着の待ち受け(IDLE)を断りました。")},
    {Why::ServerBye, NMAIL_ERR_CLOSED,
     QT_TRANSLATE_NOOP("Failures", "メールサーバーが接続を終えました。")},
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

QString shownText(const QString& text, qsizetype maxLength)
{
    QString shown = text;
    for (QChar& c : shown) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator) {
            c = u' ';
        }
    }
    if (shown.size() > maxLength) {
        shown.truncate(shown.at(maxLength - 1).isHighSurrogate() ? maxLength - 1 : maxLength);
        shown += u'…';
    }
    return shown;
}

Failure makeFailure(int32_t code, const QString& sentence, const QString& detail)
{
    const QString shown = shownText(detail);
    Failure failure;
    failure.code = code;
    failure.message = shown.isEmpty() ? sentence : sentence + u' ' + shown;
    return failure;
}

Failure failure(Why why, const QString& detail)
{
    const Entry& entry = Table[size_t(why)];
    // Translated when the failure happens, so that the text the C API hands out is already in
    // the user's language.
    return makeFailure(entry.code, QCoreApplication::translate("Failures", entry.sentence), detail);
}

} // namespace nmail
