# Desktop notifications over D-Bus. No widgets.
mofurin_library(mofurin_notifier
    ${CMAKE_CURRENT_LIST_DIR}/DesktopNotifier.cpp ${CMAKE_CURRENT_LIST_DIR}/DesktopNotifier.h)
target_link_libraries(mofurin_notifier PUBLIC Qt6::Core Qt6::DBus)
