# Tests of the table exchange commands (clipboard text, data files, command flow, dialogs).
quorvel_test(table_io_test
             SOURCES ${CMAKE_CURRENT_LIST_DIR}/table_text_test.cpp
                     ${CMAKE_CURRENT_LIST_DIR}/data_file_test.cpp
                     ${CMAKE_CURRENT_LIST_DIR}/table_commands_test.cpp
                     ${CMAKE_CURRENT_LIST_DIR}/text_column_test.cpp
                     ${CMAKE_CURRENT_LIST_DIR}/uncertainty_fill_test.cpp
             DEPS quorvel_app)
quorvel_test(calibration_dialogs_test QTTEST
             SOURCES ${CMAKE_CURRENT_LIST_DIR}/calibration_dialogs_test.cpp
             DEPS quorvel_app Qt6::Test)
target_include_directories(calibration_dialogs_test PRIVATE ${PROJECT_SOURCE_DIR}/tests)
quorvel_test(command_dialogs_test QTTEST
             SOURCES ${CMAKE_CURRENT_LIST_DIR}/command_dialogs_test.cpp
             DEPS quorvel_app Qt6::Test)

# The commands on the real window; the exit runs in a process of its own.
add_executable(form_exit_probe ${CMAKE_CURRENT_LIST_DIR}/form_exit_probe.cpp)
target_link_libraries(form_exit_probe PRIVATE quorvel_app)
quorvel_warnings(form_exit_probe)
quorvel_test(form_commands_test QTTEST
             SOURCES ${CMAKE_CURRENT_LIST_DIR}/form_commands_test.cpp
             DEPS quorvel_app Qt6::Test)
target_include_directories(form_commands_test PRIVATE ${PROJECT_SOURCE_DIR}/tests)
add_dependencies(form_commands_test form_exit_probe)
# The calibration commands' files are held against quorvel-fit's for the same table.
add_dependencies(form_commands_test quorvel-fit)
target_compile_definitions(form_commands_test PRIVATE QUORVEL_FIT_PATH="$<TARGET_FILE:quorvel-fit>")
