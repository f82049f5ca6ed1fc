# The dial-up hang-up routine over the platform's connection service. No widgets.
mofurin_library(mofurin_dialup
    ${CMAKE_CURRENT_LIST_DIR}/DialUpHangUp.cpp ${CMAKE_CURRENT_LIST_DIR}/DialUpHangUp.h)
target_link_libraries(mofurin_dialup PUBLIC mofurin_dialup_service)
