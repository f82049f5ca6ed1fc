mofurin_gtest(sound_test LABEL unit
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/sound/PlayWaveTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/sound/WaveDecoderTest.cpp
    LIBS mofurin_sound mofurin_sound_output)
