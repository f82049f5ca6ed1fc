#The desktop's online accounts (GNOME Online Accounts) over D-Bus. No widgets.
mofurin_library(mofurin_online_accounts ${CMAKE_CURRENT_LIST_DIR} /
                OnlineAccounts.cpp ${CMAKE_CURRENT_LIST_DIR} / OnlineAccounts.h)
    target_link_libraries(mofurin_online_accounts PUBLIC Qt6::Core Qt6::DBus mofurin_services)
