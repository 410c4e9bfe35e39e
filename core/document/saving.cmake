target_sources(velmora_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/WavWriter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DocumentSave.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ChannelEdits.cpp)
