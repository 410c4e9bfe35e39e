target_sources(velmora_core_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/DocumentModelTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WavReaderTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CommandRulesTest.cpp)
