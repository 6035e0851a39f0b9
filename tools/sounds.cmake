# The sounds that ship beside the dialer, made at build time by our own
# generator (DTMF synthesis and espeak-ng) into the program folder: digitos/,
# audio/TransC<n>.wav and Audio/AudioCanal<n>.wav. Included from
# tools/CMakeLists.txt; paths are relative to this file so that it works from
# anywhere it is included.
add_executable(doruzudo-make-sounds ${CMAKE_CURRENT_LIST_DIR}/make_sounds.cpp)
target_link_libraries(doruzudo-make-sounds PRIVATE doruzudo_line)

set(doruzudo_sounds_dir ${CMAKE_BINARY_DIR}/bin)
set(doruzudo_sound_files)
# CMake refuses "#" in an output name: "#.wav" is made with the others.
foreach(key 0 1 2 3 4 5 6 7 8 9 "*")
  list(APPEND doruzudo_sound_files ${doruzudo_sounds_dir}/digitos/${key}.wav)
endforeach()
foreach(n RANGE 1 8)
  list(APPEND doruzudo_sound_files ${doruzudo_sounds_dir}/audio/TransC${n}.wav
       ${doruzudo_sounds_dir}/Audio/AudioCanal${n}.wav)
endforeach()
add_custom_command(
  OUTPUT ${doruzudo_sound_files}
  COMMAND doruzudo-make-sounds ${doruzudo_sounds_dir}
  DEPENDS doruzudo-make-sounds
  COMMENT "Making the shipped sounds (digit tones, announcements, default messages)"
  VERBATIM)
add_custom_target(doruzudo-sounds ALL DEPENDS ${doruzudo_sound_files})
install(DIRECTORY ${doruzudo_sounds_dir}/digitos ${doruzudo_sounds_dir}/audio
                  ${doruzudo_sounds_dir}/Audio
        DESTINATION share/doruzudo)

# The generator's test: runs it into a temporary folder and checks its files.
add_executable(doruzudo_sounds_tests ${CMAKE_CURRENT_LIST_DIR}/sounds_test.cpp)
set_target_properties(doruzudo_sounds_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY
                                                       ${CMAKE_BINARY_DIR}/tests)
target_link_libraries(doruzudo_sounds_tests PRIVATE doruzudo_line doruzudo_testing GTest::gtest)
target_compile_definitions(doruzudo_sounds_tests
                           PRIVATE DORUZUDO_MAKE_SOUNDS="$<TARGET_FILE:doruzudo-make-sounds>")
add_dependencies(doruzudo_sounds_tests doruzudo-make-sounds)
gtest_discover_tests(doruzudo_sounds_tests DISCOVERY_MODE PRE_TEST
                     PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
