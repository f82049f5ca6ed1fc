#pragma once

#include "settings/MofurinOptions.h"

#include <QObject>

// The newer options as the program uses them while it runs: read from the options file at
// start-up, changed at once by the settings dialog (which writes them to the file when it
// closes, as it does the hang-up flag), and heard by whoever acts on them (the automatic
// check). It also tells when the server or account dialog confirmed new values, for whoever
// keeps a connection made with the old ones (the push watcher). One for the process, on the
// user-interface thread.
class LiveOptions : public QObject
{
    Q_OBJECT
public:
    static LiveOptions& Get();

    const MofurinOptions& value() const { return m_value; }
    void set(const MofurinOptions& value);
    // The server or the account dialog confirmed its values (MailSettings, the account file).
    void mailSettingsEdited() { emit mailSettingsChanged(); }

signals:
    void changed();
    void mailSettingsChanged();

private:
    LiveOptions() = default;
    MofurinOptions m_value;
};
