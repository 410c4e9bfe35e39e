target_sources(velmora_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/WavHeader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WavReader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/VelmoraDoc.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DocumentLoad.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CommandRules.cpp)
