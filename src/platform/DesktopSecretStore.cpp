#include "platform/DesktopSecretStore.h"

#include "platform/KeychainSecretStore.h"

SecretStore& DesktopSecretStore()
{
    static KeychainSecretStore store;
    return store;
}
