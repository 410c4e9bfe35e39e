target_sources(velmora_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ByteBuffer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/File.cpp)
