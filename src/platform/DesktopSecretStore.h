#pragma once

#include "platform/SecretStore.h"

// The desktop's keyring, one for the process (or the store the services in use name). Nothing is
// asked of it until a call is made, so a program whose password stays in its file never talks to
// the keyring at all.
SecretStore& DesktopSecretStore();
