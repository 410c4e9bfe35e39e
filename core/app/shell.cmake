# The application shell's core: command routing and tables, the settings rules, start-up files.
target_sources(velmora_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/CommandRouter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CommandTable.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Settings.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ShellCommands.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FileFilter.cpp)
