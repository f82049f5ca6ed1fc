#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// The helper process that owns a private D-Bus bus and python-dbusmock's mocks on it; see
// dbusmock_fixture.py for its commands. Stopping it (or the test process ending, however)
// stops the bus and every mock.
class DbusMockFixture
{
public:
    DbusMockFixture() = default;
    ~DbusMockFixture() { stop(); }
    DbusMockFixture(const DbusMockFixture&) = delete;
    DbusMockFixture& operator=(const DbusMockFixture&) = delete;

    bool start(QString& error);
    void stop();
    // Sends one command and returns the helper's answer.
    QString command(const char* line);
    QString address() const { return m_address; }

private:
    QString readLine();

    QTemporaryDir m_folder;
    QProcess m_helper;
    QString m_address;
};
