# The hang-up routine and the dial-up kind rule; no bus needed.
mofurin_gtest(dialup_unit
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/dialup/HangUpAllDialUpTest.cpp
    LIBS mofurin_dialup
    LABEL unit
    # The default service must never reach the machine's real NetworkManager from a test.
    ENV MOFURIN_DIALUP_BUS=unix:path=/nonexistent/mofurin-test-bus)
