target_sources(velmora_core_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ImportCompressedTest.cpp)
