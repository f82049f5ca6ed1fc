# The browser object, with stand-in launchers on PATH.
mofurin_gtest(browser_unit
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/browser/BrowserTest.cpp
    LIBS mofurin_browser
    LABEL unit)
