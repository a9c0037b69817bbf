# The project's warnings, all of them errors: written once, here. The build
# includes this file; scripts/check-shared-sources.sh reads the same list by
# running it as a script (cmake -P), which prints the flags one a line.
set(VELLUMAR_WARNING_FLAGS
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Werror)

if(CMAKE_SCRIPT_MODE_FILE)
  foreach(flag IN LISTS VELLUMAR_WARNING_FLAGS)
    message(NOTICE "${flag}")
  endforeach()
endif()
