#include "DovecotFixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryFile>
#include <QThread>
#include <algorithm>

namespace {

constexpr int StartTimeoutMs = 60000;

} // namespace

DovecotFixture::~DovecotFixture()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(20000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    if (!m_configPath.isEmpty()) {
        QFile::remove(m_configPath);
    }
}

bool DovecotFixture::start(const QByteArray& configJson, QString* error)
{
    QTemporaryFile config(QDir::tempPath() + QStringLiteral("/mofurin-dovecot-XXXXXX.json"));
    config.setAutoRemove(false);
    if (!config.open() || config.write(configJson) != configJson.size()) {
        *error = QStringLiteral("cannot write the Dovecot fixture's configuration");
        return false;
    }
    m_configPath = config.fileName();
    config.close();

    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral("/usr/bin/python3"),
                    {QStringLiteral(MOFURIN_SOURCE_DIR "/tests/support/dovecot_fixture.py"),
                     QStringLiteral("--serve"), m_configPath});
    if (!m_process.waitForStarted(10000)) {
        *error = QStringLiteral("cannot run the Dovecot fixture: ") + m_process.errorString();
        return false;
    }
    QByteArray line;
    while (!line.contains('\n')) {
        if (!m_process.waitForReadyRead(StartTimeoutMs)) {
            *error = QStringLiteral("the Dovecot fixture printed no ports (see its error output)");
            return false;
        }
        line += m_process.readAllStandardOutput();
    }
    const QJsonObject ports = QJsonDocument::fromJson(line.left(line.indexOf('\n'))).object();
    pop3 = ports.value(QStringLiteral("pop3")).toInt();
    pop3s = ports.value(QStringLiteral("pop3s")).toInt();
    imap = ports.value(QStringLiteral("imap")).toInt();
    imaps = ports.value(QStringLiteral("imaps")).toInt();
    caFile = ports.value(QStringLiteral("ca_file")).toString();
    untrustedCaFile = ports.value(QStringLiteral("untrusted_ca_file")).toString();
    logFile = ports.value(QStringLiteral("log")).toString();
    mailFolder = ports.value(QStringLiteral("mail")).toString();
    m_relayedFolder = ports.value(QStringLiteral("relayed")).toString();
    imapStartTlsRequired = ports.value(QStringLiteral("imap_starttls_required")).toInt();
    imapNoStartTls = ports.value(QStringLiteral("imap_no_starttls")).toInt();
    imapLoginDisabled = ports.value(QStringLiteral("imap_login_disabled")).toInt();
    if (pop3 <= 0) {
        *error = QStringLiteral("the Dovecot fixture printed no ports: ") + QString::fromUtf8(line);
        return false;
    }
    return true;
}

QList<QByteArray> DovecotFixture::takeRelayed(int port) const
{
    // The relay writes PORT-N.part while the connection lasts and renames it PORT-N.in after.
    QDir folder(m_relayedFolder);
    const QString prefix = QString::number(port) + u'-';
    QElapsedTimer waited;
    waited.start();
    while (!folder.entryList({prefix + QStringLiteral("*.part")}, QDir::Files).isEmpty() &&
           waited.elapsed() < 10000) {
        QThread::msleep(20);
    }
    QStringList names = folder.entryList({prefix + QStringLiteral("*.in")}, QDir::Files);
    const auto number = [&](const QString& name) {
        return name.mid(prefix.size()).section(u'.', 0, 0).toInt();
    };
    std::sort(names.begin(), names.end(),
              [&](const QString& a, const QString& b) { return number(a) < number(b); });
    QList<QByteArray> sent;
    for (const QString& name : names) {
        QFile file(folder.filePath(name));
        if (file.open(QIODevice::ReadOnly)) {
            sent.append(file.readAll());
        }
        file.remove();
    }
    return sent;
}
