# Playback of the mix: the transport commands, the marks and the view's playback timers.
target_sources(velmora_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/Transport.cpp)
