target_sources(velmora_core_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ReferenceMixdown.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FadeCurveTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MixdownTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MixdownWorkerTest.cpp)
# The reference must compute exactly as written, like the kernel it checks.
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/ReferenceMixdown.cpp
                            PROPERTIES COMPILE_OPTIONS "-ffp-contract=off")
