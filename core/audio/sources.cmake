# Wave device layer: the block-ring device over the AudioBackend seam, the format-mask helpers
# and the virtual backend the tests drive frame by frame. No audio library here.
target_sources(velmora_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/FormatMask.cpp
  ${CMAKE_CURRENT_LIST_DIR}/VirtualAudioBackend.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WaveDevice.cpp)
