# giflib and libpng compiled here from the Debian sources the Windows build
# uses (unpacked by scripts/build-third-party.sh), with the fuzzers'
# coverage instrumentation, so that libFuzzer sees the paths inside them.
# They stand in for the host's libraries of the same versions; libjpeg-turbo
# (SIMD code, generated headers) stays the host's 2.1.5.
# Included before the folders that link GIF::GIF and PNG::PNG.
set(third_party_src ${CMAKE_SOURCE_DIR}/.cache/third-party/src)
file(GLOB giflib_dir ${third_party_src}/giflib-*)
file(GLOB libpng_dir ${third_party_src}/libpng1.6-*)

if(giflib_dir AND EXISTS ${giflib_dir}/dgif_lib.c)
  add_library(fuzz_giflib STATIC
    ${giflib_dir}/dgif_lib.c ${giflib_dir}/gif_err.c ${giflib_dir}/gifalloc.c
    ${giflib_dir}/gif_hash.c ${giflib_dir}/openbsd-reallocarray.c)
  target_include_directories(fuzz_giflib PUBLIC ${giflib_dir})
  target_compile_options(fuzz_giflib PRIVATE -w)
  add_library(GIF::GIF ALIAS fuzz_giflib)
  message(STATUS "Fuzzing giflib from ${giflib_dir}")
endif()

if(libpng_dir AND EXISTS ${libpng_dir}/scripts/pnglibconf.h.prebuilt)
  find_package(ZLIB REQUIRED)
  set(pnglibconf ${CMAKE_CURRENT_BINARY_DIR}/fuzz_libpng/pnglibconf.h)
  configure_file(${libpng_dir}/scripts/pnglibconf.h.prebuilt ${pnglibconf} COPYONLY)
  set(libpng_sources)
  foreach(name png pngerror pngget pngmem pngpread pngread pngrio pngrtran pngrutil pngset pngtrans
               pngwio pngwrite pngwtran pngwutil)
    list(APPEND libpng_sources ${libpng_dir}/${name}.c)
  endforeach()
  add_library(fuzz_libpng STATIC ${libpng_sources})
  # The sources' own headers (and their pnglibconf.h) come before the host's.
  target_include_directories(fuzz_libpng BEFORE PUBLIC ${CMAKE_CURRENT_BINARY_DIR}/fuzz_libpng ${libpng_dir})
  target_compile_definitions(fuzz_libpng PRIVATE PNG_ARM_NEON_OPT=0 PNG_POWERPC_VSX_OPT=0 PNG_INTEL_SSE_OPT=0)
  target_compile_options(fuzz_libpng PRIVATE -w)
  target_link_libraries(fuzz_libpng PUBLIC ZLIB::ZLIB)
  add_library(PNG::PNG ALIAS fuzz_libpng)
  message(STATUS "Fuzzing libpng from ${libpng_dir}")
endif()
