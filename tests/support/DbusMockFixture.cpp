#include "support/DbusMockFixture.h"

#include <QElapsedTimer>

bool DbusMockFixture::start(QString& error)
{
    if (!m_folder.isValid()) {
        error = QStringLiteral("no temporary folder");
        return false;
    }
    m_helper.setProgram(QStringLiteral(MOFURIN_PYTHON));
    m_helper.setArguments(
        {QStringLiteral(MOFURIN_TEST_TOOLS "/") + QLatin1String(m_script), m_folder.path()});
    m_helper.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_helper.start();
    if (!m_helper.waitForStarted(5000)) {
        error = QStringLiteral("cannot run %1: %2").arg(m_helper.program(), m_helper.errorString());
        return false;
    }
    const QString first = readLine();
    if (!first.startsWith(QLatin1String("bus "))) {
        error = QStringLiteral("the private D-Bus bus did not start: '%1'").arg(first);
        return false;
    }
    m_address = first.mid(4);
    return true;
}

void DbusMockFixture::stop()
{
    if (m_helper.state() == QProcess::NotRunning)
        return;
    m_helper.write("quit\n");
    m_helper.closeWriteChannel();
    if (!m_helper.waitForFinished(10000)) {
        m_helper.kill();
        m_helper.waitForFinished(3000);
    }
}

QString DbusMockFixture::command(const QString& line)
{
    m_helper.write(line.toUtf8() + '\n');
    return readLine();
}

QString DbusMockFixture::readLine()
{
    QElapsedTimer timer;
    timer.start();
    while (!m_helper.canReadLine() && timer.elapsed() < 20000 &&
           m_helper.state() == QProcess::Running)
        m_helper.waitForReadyRead(200);
    // Only the line end goes: an answer may hold blanks of its own (a secret, say).
    QByteArray line = m_helper.readLine();
    if (line.endsWith('\n'))
        line.chop(1);
    return QString::fromUtf8(line);
}
