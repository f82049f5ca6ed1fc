#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// The helper process that owns a private D-Bus bus and what runs on it: python-dbusmock's mocks
// (dbusmock_fixture.py) or a GNOME Keyring (keyring_fixture.py); see the script for its
// commands. Stopping it (or the test process ending, however) stops the bus and everything on it.
class DbusMockFixture
{
public:
    explicit DbusMockFixture(const char* script = "dbusmock_fixture.py") : m_script(script) {}
    ~DbusMockFixture() { stop(); }
    DbusMockFixture(const DbusMockFixture&) = delete;
    DbusMockFixture& operator=(const DbusMockFixture&) = delete;

    bool start(QString& error);
    void stop();
    // Sends one command and returns the helper's answer.
    QString command(const QString& line);
    QString address() const { return m_address; }

private:
    QString readLine();

    const char* m_script;
    QTemporaryDir m_folder;
    QProcess m_helper;
    QString m_address;
};
