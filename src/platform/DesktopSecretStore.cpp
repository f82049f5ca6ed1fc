#include "platform/DesktopSecretStore.h"

#include "platform/KeychainSecretStore.h"
#include "platform/Services.h"

SecretStore& DesktopSecretStore()
{
    if (SecretStore* chosen = CurrentServices().secrets)
        return *chosen;
    static KeychainSecretStore store;
    return store;
}
