# Shared build settings and helpers for every module, executable and test.

enable_testing()

set(LUMORA_BIN_DIR "${CMAKE_BINARY_DIR}/bin")
set(LUMORA_TEST_DIR "${CMAKE_BINARY_DIR}/tests")
set(LUMORA_FIXTURES_DIR "${CMAKE_BINARY_DIR}/fixtures")
file(MAKE_DIRECTORY "${LUMORA_BIN_DIR}" "${LUMORA_BIN_DIR}/resources" "${LUMORA_BIN_DIR}/lang"
     "${LUMORA_TEST_DIR}")

add_compile_definitions(UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN
                        _WIN32_WINNT=0x0601 WINVER=0x0601 _WIN32_IE=0x0800)
add_compile_options(-Wall -Wextra)
if(LUMORA_WERROR)
  add_compile_options(-Werror)
endif()
# No mingw runtime DLLs beside the executables.
add_link_options(-static -static-libgcc -static-libstdc++)

set(LUMORA_SYSTEM_LIBS ole32 oleaut32 uuid windowscodecs d2d1 gdiplus gdi32 user32 shell32
    shlwapi comctl32 msimg32 propsys version imm32 advapi32 comdlg32)

# Third-party libraries, built by tools/setup.sh or installed from Debian's packages.
add_library(lumora_gtest INTERFACE)
target_include_directories(lumora_gtest INTERFACE "${LUMORA_THIRD_PARTY}/include")
target_link_libraries(lumora_gtest INTERFACE
  "${LUMORA_THIRD_PARTY}/lib/libgmock.a" "${LUMORA_THIRD_PARTY}/lib/libgtest_main.a"
  "${LUMORA_THIRD_PARTY}/lib/libgtest.a")
add_library(lumora_cjson INTERFACE)
target_include_directories(lumora_cjson INTERFACE "${LUMORA_THIRD_PARTY}/include")
target_link_libraries(lumora_cjson INTERFACE "${LUMORA_THIRD_PARTY}/lib/libcjson.a")
find_library(LUMORA_ZLIB NAMES libz.a z REQUIRED)
find_path(LUMORA_ZLIB_INCLUDE zlib.h REQUIRED)
add_library(lumora_zlib INTERFACE)
target_include_directories(lumora_zlib INTERFACE "${LUMORA_ZLIB_INCLUDE}")
target_link_libraries(lumora_zlib INTERFACE "${LUMORA_ZLIB}")
# stb is header-only; take its own folder from the host, never all of /usr/include.
add_library(lumora_stb INTERFACE)
target_include_directories(lumora_stb SYSTEM INTERFACE /usr/include/stb)

# Application manifest (Windows 7-11 compatibility ids, Common Controls 6) for every executable,
# so the version tests behave in tests as in the shipped program.
set(LUMORA_MANIFEST_RC "${CMAKE_SOURCE_DIR}/src/res/manifest.rc")

function(lumora_add_children dir)
  file(GLOB children LIST_DIRECTORIES true "${CMAKE_SOURCE_DIR}/${dir}/*")
  list(SORT children)
  foreach(child ${children})
    if(IS_DIRECTORY "${child}" AND EXISTS "${child}/CMakeLists.txt")
      add_subdirectory("${child}")
    endif()
  endforeach()
endfunction()

# lumora_module(name SOURCES ... [DEPS ...]): one static library per module; includes are
# written from src/ ("image/image_format.h").
function(lumora_module name)
  cmake_parse_arguments(M "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${M_SOURCES})
  target_include_directories(${name} PUBLIC "${CMAKE_SOURCE_DIR}/src")
  target_link_libraries(${name} PUBLIC ${M_DEPS} ${LUMORA_SYSTEM_LIBS})
endfunction()

# lumora_unit_test(name SOURCES ... [LIBS ...]): one GoogleTest executable, one ctest entry,
# run through the toolchain's emulator (Wine for the 64-bit build).
function(lumora_unit_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;FIXTURES" ${ARGN})
  add_executable(${name} ${T_SOURCES} "${LUMORA_MANIFEST_RC}")
  target_include_directories(${name} PRIVATE "${CMAKE_SOURCE_DIR}/src" "${CMAKE_SOURCE_DIR}/tests")
  target_link_libraries(${name} PRIVATE ${T_LIBS} lumora_gtest ${LUMORA_SYSTEM_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${LUMORA_TEST_DIR}")
  target_compile_definitions(${name} PRIVATE
    LUMORA_SOURCE_DIR=L"Z:${CMAKE_SOURCE_DIR}" LUMORA_BIN_DIR=L"Z:${LUMORA_BIN_DIR}"
    LUMORA_FIXTURES_DIR=L"Z:${LUMORA_FIXTURES_DIR}")
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY "${LUMORA_TEST_DIR}")
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(T_FIXTURES)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED "${T_FIXTURES}")
  endif()
endfunction()

# lumora_test_fixtures(name SCRIPT file.sh): a host shell script that makes test pictures with
# ImageMagick/exiftool before the tests that list `name` in FIXTURES run. The script gets its own
# output folder, ${LUMORA_FIXTURES_DIR}/<name>, as $1 (tests see it as LUMORA_FIXTURES_DIR
# L"Z:/.../fixtures" + L"/<name>"). Linux programs cannot be run reliably from inside Wine.
function(lumora_test_fixtures name)
  cmake_parse_arguments(F "" "SCRIPT" "" ${ARGN})
  add_test(NAME ${name}_setup
           COMMAND sh "${F_SCRIPT}" "${LUMORA_FIXTURES_DIR}/${name}")
  set_tests_properties(${name}_setup PROPERTIES FIXTURES_SETUP ${name})
endfunction()

# lumora_resources(target rc-file): compiles an .rc of src/res into a target, with the artwork
# that src/res draws at build time on the resource include path.
set(LUMORA_ART_DIR "${CMAKE_BINARY_DIR}/res_gen")
function(lumora_resources target rc)
  set(rc_path "${CMAKE_SOURCE_DIR}/src/res/${rc}")
  target_sources(${target} PRIVATE "${rc_path}")
  target_include_directories(${target} PRIVATE "${CMAKE_SOURCE_DIR}/src/res" "${LUMORA_ART_DIR}")
  set_source_files_properties("${rc_path}" TARGET_DIRECTORY ${target} PROPERTIES OBJECT_DEPENDS
    "${LUMORA_ART_DIR}/close.png;${LUMORA_ART_DIR}/restore.png;${LUMORA_ART_DIR}/lumora.ico;${CMAKE_SOURCE_DIR}/src/res/lumora_resources.rc;${CMAKE_SOURCE_DIR}/src/res/resource.h")
  add_dependencies(${target} lumora_res_assets)
endfunction()
