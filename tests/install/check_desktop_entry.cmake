# cmake -DVALIDATE=desktop-file-validate -DENTRY=genosieve.desktop [-DWINDOW=genosieve]
#       -P check_desktop_entry.cmake
execute_process(COMMAND ${VALIDATE} ${ENTRY} RESULT_VARIABLE status OUTPUT_VARIABLE out
                ERROR_VARIABLE out)
if(NOT status EQUAL 0 OR NOT out STREQUAL "")
  message(FATAL_ERROR "${ENTRY} is not a valid desktop entry:\n${out}")
endif()

# The options of its command line are the window's own: a start from the menu must not end
# on a usage error.
if(WINDOW)
  file(STRINGS ${ENTRY} exec REGEX "^Exec=")
  string(REGEX REPLACE "^Exec=[^ ]+" "" options "${exec}")
  string(REGEX REPLACE "%[fFuU]" "" options "${options}")
  separate_arguments(options UNIX_COMMAND "${options}")
  set(ENV{QT_QPA_PLATFORM} offscreen)
  execute_process(COMMAND ${WINDOW} ${options} --version RESULT_VARIABLE status
                  OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "the window refuses the options of ${ENTRY} (${options}):\n${out}")
  endif()
endif()
