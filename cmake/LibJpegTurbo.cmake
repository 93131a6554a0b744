# libjpeg-turbo 2.1.5, built from Debian's source package with the library's
# own CMake as a static library (libjpeg.a: the release-6 interface,
# arithmetic decoding, SIMD through nasm where the target has it).
#
# scripts/fetch-libjpeg.sh puts the sources into build/deps once; every build
# tree then builds them in a folder of its own (deps/NAME below the build
# tree), and the build's stamps keep a second build from doing it again.
#
#   vistel_add_libjpeg_turbo(NAME
#       [TOOLCHAIN_FILE file]   default: this build's toolchain file, if any
#       [CMAKE_ARGS args...])   more cache settings for the library's build,
#                               for example -DCMAKE_C_COMPILER=clang
#                               "-DCMAKE_C_FLAGS=-fsanitize=address" -DWITH_SIMD=OFF
#
# makes the imported static library NAME: link it, and jpeglib.h, jerror.h
# and the library's internal headers (jmemsys.h) are found.
include_guard(GLOBAL)
include(ExternalProject)

set(VISTEL_LIBJPEG_SOURCE "${PROJECT_SOURCE_DIR}/build/deps/libjpeg-turbo-2.1.5" CACHE PATH
    "The unpacked libjpeg-turbo 2.1.5 sources (scripts/fetch-libjpeg.sh)")

function(vistel_add_libjpeg_turbo name)
    cmake_parse_arguments(PARSE_ARGV 1 ARG "" "TOOLCHAIN_FILE" "CMAKE_ARGS")
    if(NOT EXISTS "${VISTEL_LIBJPEG_SOURCE}/jpeglib.h")
        message(FATAL_ERROR "No libjpeg-turbo sources in ${VISTEL_LIBJPEG_SOURCE}: run scripts/fetch-libjpeg.sh")
    endif()
    if(NOT DEFINED ARG_TOOLCHAIN_FILE AND CMAKE_TOOLCHAIN_FILE)
        set(ARG_TOOLCHAIN_FILE "${CMAKE_TOOLCHAIN_FILE}")
    endif()
    set(toolchain "")
    if(ARG_TOOLCHAIN_FILE)
        set(toolchain "-DCMAKE_TOOLCHAIN_FILE=${ARG_TOOLCHAIN_FILE}")
    endif()

    set(binary_dir "${CMAKE_BINARY_DIR}/deps/${name}")
    set(library "${binary_dir}/${CMAKE_STATIC_LIBRARY_PREFIX}jpeg${CMAKE_STATIC_LIBRARY_SUFFIX}")
    ExternalProject_Add(${name}_build
        SOURCE_DIR "${VISTEL_LIBJPEG_SOURCE}"
        BINARY_DIR "${binary_dir}"
        PREFIX "${CMAKE_BINARY_DIR}/deps/${name}-stamps"
        CMAKE_ARGS ${toolchain}
                   -DCMAKE_BUILD_TYPE=Release
                   # Never installed; a prefix of this platform's kind keeps
                   # the library's packaging rules content.
                   "-DCMAKE_INSTALL_PREFIX=${binary_dir}/install"
                   -DENABLE_SHARED=OFF
                   -DENABLE_STATIC=ON
                   -DWITH_TURBOJPEG=OFF
                   -DWITH_JPEG7=OFF
                   -DWITH_JPEG8=OFF
                   -DWITH_ARITH_DEC=ON
                   -DWITH_SIMD=ON
                   -DREQUIRE_SIMD=ON
                   ${ARG_CMAKE_ARGS}
        # Only the library: its programs and tests are not ours to build.
        BUILD_COMMAND ${CMAKE_COMMAND} --build "${binary_dir}" --target jpeg-static
        INSTALL_COMMAND ""
        TEST_COMMAND ""
        BUILD_BYPRODUCTS "${library}"
        LOG_CONFIGURE ON
        LOG_BUILD ON
        LOG_OUTPUT_ON_FAILURE ON)
    # Sources fetched again (our patches changed) are built again.
    ExternalProject_Add_StepDependencies(${name}_build build "${VISTEL_LIBJPEG_SOURCE}/.vistel-complete")

    # jconfig.h is made by the library's configure step; the folder must
    # exist before then for the imported target.
    file(MAKE_DIRECTORY "${binary_dir}")
    add_library(${name} STATIC IMPORTED GLOBAL)
    set_target_properties(${name} PROPERTIES
        IMPORTED_LOCATION "${library}"
        INTERFACE_INCLUDE_DIRECTORIES "${VISTEL_LIBJPEG_SOURCE};${binary_dir}")
    add_dependencies(${name} ${name}_build)
endfunction()
