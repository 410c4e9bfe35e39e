target_sources(velmora_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/FadeCurve.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MixCorrection.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BlockPeakTable.cpp)
target_sources(velmora_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/Mixdown.cpp)
# The mix must match its per-frame definition bit for bit: no fused multiply-add.
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/Mixdown.cpp
                            ${CMAKE_CURRENT_LIST_DIR}/FadeCurve.cpp
                            PROPERTIES COMPILE_OPTIONS "-ffp-contract=off")
