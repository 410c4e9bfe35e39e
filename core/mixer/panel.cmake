# The mixer panel of the main form and the correction list's logic.
target_sources(velmora_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/MixerPanel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CorrectionList.cpp)
