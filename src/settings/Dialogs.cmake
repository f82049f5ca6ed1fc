# The three settings dialogs: mail server, account and settings.
mofurin_library(mofurin_settings_ui
    ${CMAKE_CURRENT_LIST_DIR}/DialogLook.cpp ${CMAKE_CURRENT_LIST_DIR}/DialogLook.h
    ${CMAKE_CURRENT_LIST_DIR}/OptionForm.cpp ${CMAKE_CURRENT_LIST_DIR}/OptionForm.h
    ${CMAKE_CURRENT_LIST_DIR}/IdPassForm.cpp ${CMAKE_CURRENT_LIST_DIR}/IdPassForm.h
    ${CMAKE_CURRENT_LIST_DIR}/SetForm.cpp ${CMAKE_CURRENT_LIST_DIR}/SetForm.h
)
target_link_libraries(mofurin_settings_ui PUBLIC mofurin_settings mofurin_platform mofurin_widget_look
    mofurin_secretstore mofurin_online_accounts Qt6::Widgets)
