target_sources(velmora_core_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/CommandTableTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CommandRouterTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SettingsTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ShellCommandsTest.cpp)
