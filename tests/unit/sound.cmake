mofurin_gtest(sound_test LABEL unit
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/sound/PlayWaveTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/sound/WaveDecoderTest.cpp
    LIBS mofurin_sound mofurin_sound_output)
# One test loads the sound module the build puts in the installation folder.
add_dependencies(sound_test mofurin-sound)
