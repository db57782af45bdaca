# Icon and version information for each Windows program (program.rc.in),
# the version from project(). Included by dist/CMakeLists.txt on Windows only.
function(qz_windows_resources target description)
  set(QZ_RC_NAME ${target})
  set(QZ_RC_FILE ${target}.exe)
  set(QZ_RC_DESCRIPTION "${description}")
  # windres reads the path as a C string: forward slashes need no escaping.
  set(QZ_RC_ICON ${PROJECT_SOURCE_DIR}/dist/icons/qz5801.ico)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/program.rc.in ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc @ONLY)
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
endfunction()
qz_windows_resources(qz5801 "QZ5801 User Software")
qz_windows_resources(qz5801-cli "QZ5801 User Software, command-line companion")
