target_sources(velmora_core_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/SaveCommandsTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SaveFailureTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/EditChannelTest.cpp)
