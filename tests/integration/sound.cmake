# The sound routine against a real PulseAudio server with a null sink, recorded from its monitor.
mofurin_gtest(sound_audio_test LABEL integration SERIAL TIMEOUT 180
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/sound/PlayWaveAudioTest.cpp
            ${MOFURIN_TEST_TOOLS}/PulseFixture.cpp ${MOFURIN_TEST_TOOLS}/PulseFixture.h
    LIBS mofurin_sound mofurin_sound_output)
