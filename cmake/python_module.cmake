# The _quillet Python extension: one stable-ABI (abi3) module built against
# Python 3.11's limited API, so the same file imports in every CPython 3.11+.
# It does not link libpython; the interpreter provides the symbols at import.
# The module lands in the build directory's root (e.g. build/release/).
if(EXISTS /usr/bin/python3 AND NOT Python3_EXECUTABLE)
  set(Python3_EXECUTABLE /usr/bin/python3)  # Debian's python3-dev headers
endif()
find_package(Python3 3.11 COMPONENTS Interpreter Development.Module REQUIRED)

file(GLOB QUILLET_PYTHON_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/src/python/*.cpp)
add_library(quillet_python MODULE ${QUILLET_PYTHON_SOURCES})
target_compile_definitions(quillet_python PRIVATE Py_LIMITED_API=0x030B0000)
target_include_directories(quillet_python PRIVATE ${Python3_INCLUDE_DIRS})
target_link_libraries(quillet_python PRIVATE quillet)
set_target_properties(quillet_python PROPERTIES
  OUTPUT_NAME _quillet
  PREFIX ""
  SUFFIX ".abi3.so"
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}
  CXX_VISIBILITY_PRESET hidden
  VISIBILITY_INLINES_HIDDEN ON)
# The engine library's symbols stay inside the module: exported, they would
# bind across two _quillet builds loaded in one process (the identical-output
# check does that), and one build's inline tables would serve the other's code.
target_link_options(quillet_python PRIVATE -Wl,--exclude-libs,ALL)
