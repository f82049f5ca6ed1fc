#include "settings/PasswordPlace.h"

#include "platform/SecretStore.h"
#include "settings/AtomicFile.h"
#include "settings/ProfileFile.h"
#include "settings/SettingsPaths.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace {

const QString OptionSection = QStringLiteral("MOFURIN");
const QString OptionKey = QStringLiteral("KEYRING");
const QString IdKey = QStringLiteral("NAME");
const QString PasswordKey = QStringLiteral("NAME2");
const QString SavedKey = QStringLiteral("NAME3");

// Large enough that no value a profile file can hold is cut: moves copy the password exactly.
constexpr int WholeValue = static_cast<int>(Profile::MaxFileSize) + 1;

QString BadCharacterText()
{
    return QCoreApplication::translate(
        "PasswordPlace", "IDかパスワードに、保存できない文字(改行、またはシフトJISにない文字)"
                         "が含まれています。");
}

QString FileKeptText()
{
    return QCoreApplication::translate(
        "PasswordPlace", "デスクトップのキーリングが使えないため、パスワードはこれまでどおり"
                         "設定ファイルに保存したままです。");
}

QString OptionNotWrittenText(const QString& path)
{
    return QCoreApplication::translate(
               "PasswordPlace",
               "設定を保存できなかったため、パスワードの保存場所は変えていません。\n") +
           QFileInfo(path).absoluteFilePath();
}

} // namespace

PasswordPlace::PasswordPlace(SecretStore& store)
    : PasswordPlace(store, {OptionsFilePath(), AccountFilePath()})
{
}

PasswordPlace::PasswordPlace(SecretStore& store, Paths paths)
    : m_store(store), m_paths(std::move(paths))
{
}

bool PasswordPlace::KeyringOn() const
{
    return Profile::GetString(m_paths.options, OptionSection, OptionKey) == QLatin1String("1");
}

QString PasswordPlace::fullValue(const QString& key) const
{
    return Profile::GetString(m_paths.account, ProfileSection, key, QString(), WholeValue);
}

// The account file holds the password in plain text: it is created readable by its owner only.
bool PasswordPlace::writeAccount(const QString& key, const QString& value) const
{
    return Profile::WriteString(m_paths.account, ProfileSection, key, value,
                                Profile::FileMode::OwnerOnly);
}

bool PasswordPlace::writeKeyringOption(bool on) const
{
    return Profile::WriteString(m_paths.options, OptionSection, OptionKey,
                                on ? QStringLiteral("1") : QStringLiteral("0"));
}

PasswordPlace::Account PasswordPlace::Read() const
{
    Account account;
    account.id =
        Profile::GetString(m_paths.account, ProfileSection, IdKey, QString(), AccountReadBuffer);
    account.password = Profile::GetString(m_paths.account, ProfileSection, PasswordKey, QString(),
                                          AccountReadBuffer);
    if (!account.password.isEmpty() || !KeyringOn())
        return account;

    const SecretStore::Result stored = m_store.Read(fullValue(IdKey));
    account.passwordUnread = stored.status != SecretStore::Status::Ok;
    if (stored.status == SecretStore::Status::Ok)
        account.password = stored.secret;
    else if (stored.status == SecretStore::Status::Unavailable)
        account.message =
            QCoreApplication::translate("PasswordPlace",
                                        "デスクトップのキーリングが使えないため、"
                                        "保存したパスワードを読み出せませんでした。") +
            (stored.error.isEmpty() ? QString() : QStringLiteral("\n") + stored.error);
    return account;
}

// Writes the ID and the password as a pair; empty when saved, otherwise the reason. When the
// password cannot be written after the ID was, the file's old bytes are put back, so the file
// never pairs a new ID with the old password.
QString PasswordPlace::saveToFile(const QString& id, const QString& password) const
{
    const QString& path = m_paths.account;
    QByteArray before;
    const SettingsIo::ReadStatus status =
        SettingsIo::ReadSettingsFile(path, Profile::MaxFileSize, before);
    const QString failed =
        QCoreApplication::translate("PasswordPlace", "IDとパスワードを保存できませんでした。\n") +
        QFileInfo(path).absoluteFilePath();
    if (!writeAccount(IdKey, id))
        return failed;
    if (!writeAccount(PasswordKey, password)) {
        if (status == SettingsIo::ReadStatus::Ok)
            SettingsIo::WriteFileAtomically(path, before, SettingsIo::NewFileMode::OwnerOnly);
        else if (status == SettingsIo::ReadStatus::Missing && QFileInfo(path).isFile())
            QFile::remove(path); // created by the ID write above
        return failed;
    }
    // Nothing reads NAME3 back; the account itself is saved either way.
    writeAccount(SavedKey, QStringLiteral("1"));
    return {};
}

PasswordPlace::Outcome PasswordPlace::SaveAccount(const QString& id, const QString& password)
{
    if (!Profile::CanStoreValue(id) || !Profile::CanStoreValue(password))
        return {false, BadCharacterText()};
    // Every check reads the two values through a fixed buffer: a longer one would log in cut.
    constexpr int AccountValueBytes = AccountReadBuffer - 1;
    if (Profile::StoredValue(id).size() > AccountValueBytes ||
        Profile::StoredValue(password).size() > AccountValueBytes)
        return {false, QCoreApplication::translate("PasswordPlace",
                                                   "IDかパスワードが長すぎて保存できません。"
                                                   "それぞれ半角%1文字(全角%2文字)までです。")
                           .arg(AccountValueBytes)
                           .arg(AccountValueBytes / 2)};
    if (!KeyringOn()) {
        const QString error = saveToFile(id, password);
        return {error.isEmpty(), error};
    }

    const QString oldId = fullValue(IdKey);
    if (m_store.Write(id, password).status != SecretStore::Status::Ok) {
        const QString error = saveToFile(id, password);
        if (!error.isEmpty())
            return {false, error};
        return {true, QCoreApplication::translate("PasswordPlace",
                                                  "デスクトップのキーリングが使えないため、"
                                                  "パスワードは設定ファイルに保存しました。")};
    }
    if (const QString error = saveToFile(id, QString()); !error.isEmpty())
        return {false, error};
    // The keyring keeps no password for an ID the file no longer names.
    if (!oldId.isEmpty() && oldId != id)
        m_store.Remove(oldId);
    return {true, {}};
}

PasswordPlace::Outcome PasswordPlace::SaveAccountKeepingPassword(const QString& id)
{
    if (!Profile::CanStoreValue(id))
        return {false, BadCharacterText()};
    if (id != fullValue(IdKey))
        return {false,
                QCoreApplication::translate(
                    "PasswordPlace", "保存したパスワードを読み出せないため、IDだけを変えて"
                                     "保存することはできません。パスワードも入力してください。")};
    if (!writeAccount(SavedKey, QStringLiteral("1")))
        return {false, QCoreApplication::translate("PasswordPlace",
                                                   "IDとパスワードを保存できませんでした。\n") +
                           QFileInfo(m_paths.account).absoluteFilePath()};
    return {true, {}};
}

PasswordPlace::Outcome PasswordPlace::SetKeyringOn(bool on)
{
    return on ? turnOn() : turnOff();
}

// Also finishes a move that stopped half-way: a password still in the file while the option is
// on moves as well.
PasswordPlace::Outcome PasswordPlace::turnOn()
{
    const QString id = fullValue(IdKey);
    const QString password = fullValue(PasswordKey);
    if (password.isEmpty()) {
        // Nothing to move, but the keyring must answer before the option may say it is used.
        if (m_store.Read(id).status == SecretStore::Status::Unavailable)
            return {false, FileKeptText()};
    } else {
        // The file's copy goes only once the keyring gives the same password back.
        if (m_store.Write(id, password).status != SecretStore::Status::Ok)
            return {false, FileKeptText()};
        const SecretStore::Result check = m_store.Read(id);
        if (check.status != SecretStore::Status::Ok || check.secret != password)
            return {false, FileKeptText()};
    }
    if (!writeKeyringOption(true))
        return {false, OptionNotWrittenText(m_paths.options)};
    if (!password.isEmpty() && !writeAccount(PasswordKey, QString()))
        return {true, QCoreApplication::translate(
                          "PasswordPlace", "パスワードをキーリングに移しましたが、設定ファイルの"
                                           "パスワードを消せませんでした。\n") +
                          QFileInfo(m_paths.account).absoluteFilePath()};
    return {true, {}};
}

PasswordPlace::Outcome PasswordPlace::turnOff()
{
    if (!KeyringOn())
        return {true, {}};
    const QString id = fullValue(IdKey);
    const QString filePassword = fullValue(PasswordKey);
    const SecretStore::Result stored = m_store.Read(id);
    if (stored.status == SecretStore::Status::Unavailable && filePassword.isEmpty())
        return {false,
                QCoreApplication::translate(
                    "PasswordPlace", "デスクトップのキーリングが使えないため、パスワードを"
                                     "設定ファイルに戻せず、キーリングを使う設定のままです。")};

    // A password in the file wins (see the header); otherwise the keyring's comes back to it,
    // and counts as back only when the file reads it back.
    if (stored.status == SecretStore::Status::Ok && filePassword.isEmpty()) {
        if (!writeAccount(PasswordKey, stored.secret) || fullValue(PasswordKey) != stored.secret)
            return {false,
                    QCoreApplication::translate(
                        "PasswordPlace", "設定ファイルに書き込めないため、パスワードは"
                                         "キーリングに残し、キーリングを使う設定のままです。\n") +
                        QFileInfo(m_paths.account).absoluteFilePath()};
    }
    if (!writeKeyringOption(false))
        return {false, OptionNotWrittenText(m_paths.options)};
    if (stored.status == SecretStore::Status::Unavailable)
        return {true, QCoreApplication::translate(
                          "PasswordPlace", "デスクトップのキーリングが使えないため、"
                                           "キーリングに残ったパスワードは消せませんでした。")};
    if (stored.status == SecretStore::Status::Ok &&
        m_store.Remove(id).status != SecretStore::Status::Ok)
        return {true, QCoreApplication::translate("PasswordPlace",
                                                  "パスワードを設定ファイルに戻しましたが、"
                                                  "キーリングのパスワードは消せませんでした。")};
    return {true, {}};
}
