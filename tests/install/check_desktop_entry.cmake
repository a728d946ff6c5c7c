# cmake -DVALIDATE=desktop-file-validate -DENTRY=genosieve.desktop -P check_desktop_entry.cmake
execute_process(COMMAND ${VALIDATE} ${ENTRY} RESULT_VARIABLE status OUTPUT_VARIABLE out
                ERROR_VARIABLE out)
if(NOT status EQUAL 0 OR NOT out STREQUAL "")
  message(FATAL_ERROR "${ENTRY} is not a valid desktop entry:\n${out}")
endif()
