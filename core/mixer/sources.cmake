target_sources(velmora_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/FadeCurve.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MixCorrection.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BlockPeakTable.cpp)
target_sources(velmora_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/Mixdown.cpp)
# The mix must match its per-frame definition bit for bit: no fused multiply-add. The kernel's
# loops are written to vectorise, which GCC does at -O3 (its -O2 cost model leaves them scalar).
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/FadeCurve.cpp
                            PROPERTIES COMPILE_OPTIONS "-ffp-contract=off")
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/Mixdown.cpp PROPERTIES COMPILE_OPTIONS
                            "-ffp-contract=off;$<$<NOT:$<CONFIG:Debug>>:-O3>")
