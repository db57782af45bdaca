# The window's operations against the simulated transmitter, and the start-up without a USB library.
qz_add_test(NAME shell_main_operations SOURCES test_main_operations.cpp ShellTestSupport.h
            LIBS qz5801_shell qz5801_simulator)
target_include_directories(shell_main_operations PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
qz_add_test(NAME shell_main_operations_no_library SOURCES test_main_operations.cpp ShellTestSupport.h
            LIBS qz5801_shell ENV "LD_LIBRARY_PATH=${CMAKE_CURRENT_BINARY_DIR}/nowhere")
target_include_directories(shell_main_operations_no_library PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_definitions(shell_main_operations_no_library PRIVATE QZ_NO_LIBRARY)
