target_sources(velmora_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/FadeCurve.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MixCorrection.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BlockPeakTable.cpp)
