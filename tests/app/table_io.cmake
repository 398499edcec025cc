# Tests of the table exchange commands (clipboard text, data files, command flow, dialogs).
quorvel_test(table_io_test
             SOURCES ${CMAKE_CURRENT_LIST_DIR}/table_text_test.cpp
                     ${CMAKE_CURRENT_LIST_DIR}/data_file_test.cpp
                     ${CMAKE_CURRENT_LIST_DIR}/table_commands_test.cpp
             DEPS quorvel_app)
quorvel_test(command_dialogs_test QTTEST
             SOURCES ${CMAKE_CURRENT_LIST_DIR}/command_dialogs_test.cpp
             DEPS quorvel_app Qt6::Test)
