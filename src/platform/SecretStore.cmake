# The desktop's keyring through QtKeychain (Secret Service or KWallet). No widgets.
find_package(Qt6Keychain REQUIRED)
mofurin_library(mofurin_secretstore
    ${CMAKE_CURRENT_LIST_DIR}/KeychainSecretStore.cpp ${CMAKE_CURRENT_LIST_DIR}/KeychainSecretStore.h
    ${CMAKE_CURRENT_LIST_DIR}/SecretStore.h
    ${CMAKE_CURRENT_LIST_DIR}/DesktopSecretStore.cpp ${CMAKE_CURRENT_LIST_DIR}/DesktopSecretStore.h)
target_link_libraries(mofurin_secretstore PUBLIC Qt6::Core mofurin_services
                      PRIVATE Qt6Keychain::Qt6Keychain)
