# The browser layer: opens an address in the user's default browser.
mofurin_library(mofurin_browser
    ${CMAKE_CURRENT_LIST_DIR}/Browser.cpp ${CMAKE_CURRENT_LIST_DIR}/Browser.h)
target_link_libraries(mofurin_browser PUBLIC Qt6::Gui)
