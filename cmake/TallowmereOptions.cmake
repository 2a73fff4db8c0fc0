# One interface target carries the language level, warnings, Qt's safety macros and the
# sanitizer switch; every target of the project links it.
add_library(tallowmere_options INTERFACE)
target_compile_features(tallowmere_options INTERFACE cxx_std_20)
target_compile_options(tallowmere_options INTERFACE -Wall -Wextra)
target_compile_definitions(tallowmere_options INTERFACE
  QT_NO_CAST_TO_ASCII
  QT_NO_URL_CAST_FROM_STRING
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  QT_NO_FOREACH)
if(TALLOWMERE_SANITIZE)
  target_compile_options(tallowmere_options INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(tallowmere_options INTERFACE -fsanitize=address,undefined)
endif()

# tallowmere_add_library(NAME DIR [RECURSE] DEPS ...): a static library made of the sources of
# one folder. Each folder of src/ is its own library so that a half-written file in one
# subsystem never breaks the build of another.
function(tallowmere_add_library name dir)
  cmake_parse_arguments(ARG "RECURSE" "" "DEPS" ${ARGN})
  if(ARG_RECURSE)
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.h)
  else()
    file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.h)
  endif()
  list(FILTER sources INCLUDE REGEX "\\.(cpp|h)$")
  set(cpp_sources ${sources})
  list(FILTER cpp_sources INCLUDE REGEX "\\.cpp$")
  if(cpp_sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC tallowmere_options ${ARG_DEPS})
  else()
    # A folder without sources yet: an interface library keeps the dependency graph intact.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE tallowmere_options ${ARG_DEPS})
  endif()
endfunction()
