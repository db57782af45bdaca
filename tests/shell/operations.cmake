# The window's operations against the simulated transmitter, and the start-up without a USB library.
qz_add_test(NAME shell_main_operations SOURCES test_main_operations.cpp
            LIBS qz5801_shell qz5801_operator qz5801_simulator)
qz_add_test(NAME shell_main_operations_no_library SOURCES test_main_operations.cpp
            LIBS qz5801_shell qz5801_operator ENV "LD_LIBRARY_PATH=${CMAKE_CURRENT_BINARY_DIR}/nowhere")
target_compile_definitions(shell_main_operations_no_library PRIVATE QZ_NO_LIBRARY)
