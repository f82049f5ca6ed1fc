# The frame pictures and the window shapes cut from them; QtGui only, no widgets.
mofurin_library(mofurin_mascot_shapes
    ${CMAKE_CURRENT_LIST_DIR}/FramePictures.cpp ${CMAKE_CURRENT_LIST_DIR}/FramePictures.h
    ${CMAKE_CURRENT_LIST_DIR}/FrameRegions.cpp ${CMAKE_CURRENT_LIST_DIR}/FrameRegions.h
)
target_link_libraries(mofurin_mascot_shapes PUBLIC mofurin_resources Qt6::Gui)
