"""python-dbusmock template: a stand-in for the desktop's online-accounts service.

It serves the interfaces mail programs use of org.gnome.OnlineAccounts: the object manager at
/org/gnome/OnlineAccounts, and one object per account under .../Accounts/ with Account, Mail and
either OAuth2Based or PasswordBased. The tests shape it through the mock interface:

    AddOAuth2Account(id, provider_name, email, imap_host, user, token)
    AddPasswordAccount(id, provider_name, email, imap_host, user, password, use_ssl, use_tls)
    SetToken(id, token)           the token GetAccessToken hands out from now on
    SetRenewedToken(id, token)    the token that EnsureCredentials turns the current one into
    SetAttentionNeeded(id, bool)
    SetMailDisabled(id, bool)
    RemoveAccount(id)

Every call to the account methods is in the mock's log, so a test can count renewals.
"""

import dbus

from dbusmock import OBJECT_MANAGER_IFACE, mockobject

BUS_NAME = 'org.gnome.OnlineAccounts'
MAIN_OBJ = '/org/gnome/OnlineAccounts'
MAIN_IFACE = OBJECT_MANAGER_IFACE
SYSTEM_BUS = False
IS_OBJECT_MANAGER = True

ACCOUNT = 'org.gnome.OnlineAccounts.Account'
MAIL = 'org.gnome.OnlineAccounts.Mail'
OAUTH2 = 'org.gnome.OnlineAccounts.OAuth2Based'
PASSWORD = 'org.gnome.OnlineAccounts.PasswordBased'
ACCOUNTS = MAIN_OBJ + '/Accounts/'


def load(mock, parameters):
    pass


def account_path(account_id):
    return ACCOUNTS + account_id


def add_account(mock, account_id, provider_type, provider_name, email, imap_host, user,
                use_ssl, use_tls, credentials_interface, credentials_methods):
    path = account_path(account_id)
    account = {
        'Id': dbus.String(account_id),
        'ProviderType': dbus.String(provider_type),
        'ProviderName': dbus.String(provider_name),
        'PresentationIdentity': dbus.String(email),
        'Identity': dbus.String(email),
        'AttentionNeeded': dbus.Boolean(False),
        'MailDisabled': dbus.Boolean(False),
        'IsTemporary': dbus.Boolean(False),
    }
    mail = {
        'EmailAddress': dbus.String(email),
        'Name': dbus.String(''),
        'ImapSupported': dbus.Boolean(True),
        'ImapHost': dbus.String(imap_host),
        'ImapUserName': dbus.String(user),
        'ImapUseSsl': dbus.Boolean(use_ssl),
        'ImapUseTls': dbus.Boolean(use_tls),
        'ImapAcceptSslErrors': dbus.Boolean(False),
        'SmtpSupported': dbus.Boolean(False),
    }
    mock.AddObject(path, ACCOUNT, account, [('EnsureCredentials', '', 'i', ensure_credentials)])
    obj = mockobject.objects[path]
    obj.AddProperties(MAIL, mail)
    # The real service lists a credentials interface even where it has no properties; a client
    # tells OAuth2 from password accounts by it.
    obj.props.setdefault(credentials_interface, dbus.Dictionary({}, signature='sv'))
    obj.AddMethods(credentials_interface, credentials_methods)
    obj.token = ''
    obj.renewed = ''
    obj.object_manager_emit_added(path)
    return obj


def ensure_credentials(obj):
    # The service renews an expired token here; the test says what the renewal gives.
    if obj.renewed:
        obj.token = obj.renewed
    return 3600


def get_access_token(obj):
    return (obj.token, 3600)


def get_password(obj, which):
    return obj.token if which == 'imap-password' else ''


@dbus.service.method(mockobject.MOCK_IFACE, in_signature='ssssss', out_signature='o')
def AddOAuth2Account(self, account_id, provider_name, email, imap_host, user, token):
    obj = add_account(self, account_id, provider_name.lower(), provider_name, email, imap_host,
                      user, True, False, OAUTH2, [('GetAccessToken', '', 'si', get_access_token)])
    obj.token = token
    return dbus.ObjectPath(account_path(account_id))


@dbus.service.method(mockobject.MOCK_IFACE, in_signature='ssssssbb', out_signature='o')
def AddPasswordAccount(self, account_id, provider_name, email, imap_host, user, password,
                       use_ssl, use_tls):
    obj = add_account(self, account_id, 'imap_smtp', provider_name, email, imap_host, user,
                      use_ssl, use_tls, PASSWORD, [('GetPassword', 's', 's', get_password)])
    obj.token = password
    return dbus.ObjectPath(account_path(account_id))


@dbus.service.method(mockobject.MOCK_IFACE, in_signature='ss', out_signature='')
def SetToken(self, account_id, token):
    mockobject.objects[account_path(account_id)].token = token


@dbus.service.method(mockobject.MOCK_IFACE, in_signature='ss', out_signature='')
def SetRenewedToken(self, account_id, token):
    mockobject.objects[account_path(account_id)].renewed = token


def set_account_flag(account_id, name, value):
    obj = mockobject.objects[account_path(account_id)]
    obj.Set(ACCOUNT, name, dbus.Boolean(value))


@dbus.service.method(mockobject.MOCK_IFACE, in_signature='sb', out_signature='')
def SetAttentionNeeded(self, account_id, value):
    set_account_flag(account_id, 'AttentionNeeded', value)


@dbus.service.method(mockobject.MOCK_IFACE, in_signature='sb', out_signature='')
def SetMailDisabled(self, account_id, value):
    set_account_flag(account_id, 'MailDisabled', value)


@dbus.service.method(mockobject.MOCK_IFACE, in_signature='s', out_signature='')
def RemoveAccount(self, account_id):
    path = account_path(account_id)
    interfaces = list(mockobject.objects[path].props.keys())
    self.RemoveObject(path)
    self.EmitSignal(OBJECT_MANAGER_IFACE, 'InterfacesRemoved', 'oas', [
        dbus.ObjectPath(path), interfaces])
