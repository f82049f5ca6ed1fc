#include "mail/MailPush.h"

#include "app/ProcessValues.h"
#include "mail/CheckMail.h"
#include "mail/MailLibrary.h"
#include "mail/PushWatcher.h"
#include "mail/ServerTrust.h"
#include "platform/DBusConnectivityEvents.h"
#include "platform/DesktopSecretStore.h"
#include "platform/OnlineAccounts.h"
#include "settings/LiveOptions.h"
#include "settings/PasswordPlace.h"
#include "settings/SettingsPaths.h"

namespace {

PushWatcher* g_watcher = nullptr; // lives until the process ends, once started

// What to watch, as a check would connect and log in now. The keyring is asked only when push
// applies, so a POP3 user's keyring is never asked more often than before.
PushWatcher::Setup currentSetup()
{
    PushWatcher::Setup setup;
    setup.autoCheck = LiveOptions::Get().value().autoCheckMinutes > 0;
    // A desktop account chosen in 設定: the watcher asks the service itself, as the check does.
    const MofurinOptions& options = LiveOptions::Get().value();
    if (!options.desktopAccountId().isEmpty()) {
        setup.server = options.account;
        setup.desktopAccountId = options.desktopAccountId();
        setup.accounts = &DesktopAccounts();
        return setup;
    }
    setup.server = MailSettings.Pop3Server;
    if (!setup.autoCheck || !PushWatcher::IsImapAddress(setup.server))
        return setup;
    // The TLS and the certificate the check demands of this server.
    ServerTrust trust(ServerTrustFilePath());
    const QString key = ServerTrust::keyOf(setup.server);
    const QByteArray pin = trust.pinnedCertificate(key).toLatin1();
    CurrentMailLibrary().SetPinnedCertificate(setup.server.toUtf8().constData(),
                                              pin.isEmpty() ? nullptr : pin.constData());
    setup.address = ServerTrust::connectText(setup.server, trust.tlsExpected(key));
    const PasswordPlace::Account saved = PasswordPlace(DesktopSecretStore()).Read();
    setup.user = saved.id;
    setup.password = saved.password;
    return setup;
}

// The automatic check, as the clock starts it; false while another check runs.
bool askAutomaticCheck()
{
    if (MailCheckRunning())
        return false;
    CheckMail(nullptr, CheckKind::Automatic);
    return true;
}

// MOFURIN_IDLE_PERIOD_MS shortens the period IDLE is renewed after (never lengthens it), so
// that a test of the real program sees a renewal in seconds rather than 25 minutes.
PushTiming timing()
{
    PushTiming timing;
    bool number = false;
    const int period = qEnvironmentVariableIntValue("MOFURIN_IDLE_PERIOD_MS", &number);
    if (number && period > 0 && period < timing.idleMs)
        timing.idleMs = period;
    return timing;
}

// Watches what the settings say now. The watcher, and the subscription to the system bus it
// listens on, are made only once push applies: a POP3 user's kitten never makes either.
void follow()
{
    const PushWatcher::Setup setup = currentSetup();
    if (!g_watcher) {
        if (!PushWatcher::Applies(setup))
            return;
        static auto* events = new DBusConnectivityEvents; // lives until the process ends
        g_watcher = new PushWatcher(CurrentMailLibrary(), askAutomaticCheck, events, timing());
        // While push listens the clock's polling rests: push asks for the check itself.
        g_watcher->onIdling(HoldAutoCheck);
    }
    g_watcher->configure(setup);
}

} // namespace

void StartMailPush()
{
    static bool started = false;
    if (started)
        return;
    started = true;
    LiveOptions& options = LiveOptions::Get();
    QObject::connect(&options, &LiveOptions::changed, &options, follow);
    QObject::connect(&options, &LiveOptions::mailSettingsChanged, &options, follow);
    follow();
}

void EndMailPush()
{
    if (g_watcher)
        g_watcher->end();
}
