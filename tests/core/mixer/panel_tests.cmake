target_sources(velmora_core_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/PanelTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CorrectionListTest.cpp)
