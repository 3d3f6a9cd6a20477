# SPDX-License-Identifier: GPL-3.0-or-later
# One interface target carries the project's strict build settings; every
# library, executable and test links it.
add_library(volnar_config INTERFACE)
target_compile_features(volnar_config INTERFACE cxx_std_20)
target_compile_options(volnar_config INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
  -Wold-style-cast)
# Warnings fail the build where asked (VOLNAR_WERROR=ON, as .ci/run does) or
# on a CI runner.
option(VOLNAR_WERROR "Treat compiler warnings as errors" OFF)
if(VOLNAR_WERROR OR (DEFINED ENV{CI} AND "$ENV{CI}" STREQUAL "true"))
  target_compile_options(volnar_config INTERFACE -Werror)
endif()
target_compile_definitions(volnar_config INTERFACE
  QT_NO_CONTEXTLESS_CONNECT
  QT_NO_KEYWORDS
  QT_NO_CAST_FROM_BYTEARRAY
  QT_NO_CAST_FROM_ASCII
  QT_NO_CAST_TO_ASCII
  VOLNAR_VERSION_TEXT="${PROJECT_VERSION}")
if(VOLNAR_SANITIZE)
  target_compile_options(volnar_config INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(volnar_config INTERFACE -fsanitize=address,undefined)
endif()
if(VOLNAR_FUZZ)
  # Coverage instrumentation for every library; the fuzz executables add
  # -fsanitize=fuzzer themselves.
  target_compile_options(volnar_config INTERFACE -fsanitize=fuzzer-no-link)
endif()
