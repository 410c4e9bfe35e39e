target_sources(velmora_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/CompressedImport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CReader.cpp)
