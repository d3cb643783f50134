# Everything here comes from Debian's packages (scripts/setup.sh installs them).
find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets Test Charts PrintSupport)
find_package(PkgConfig REQUIRED)
pkg_check_modules(PULSE REQUIRED IMPORTED_TARGET libpulse)
pkg_check_modules(SPEEXDSP REQUIRED IMPORTED_TARGET speexdsp)
pkg_check_modules(MPG123 REQUIRED IMPORTED_TARGET libmpg123)
find_package(pugixml REQUIRED)
find_library(GSM_LIBRARY gsm REQUIRED)
find_path(GSM_INCLUDE_DIR gsm.h PATH_SUFFIXES gsm REQUIRED)
find_library(ZITA_RESAMPLER_LIBRARY zita-resampler REQUIRED)
find_path(ZITA_RESAMPLER_INCLUDE_DIR zita-resampler/resampler.h REQUIRED)
add_library(lexorin_zita_resampler INTERFACE)
target_link_libraries(lexorin_zita_resampler INTERFACE ${ZITA_RESAMPLER_LIBRARY})
target_include_directories(lexorin_zita_resampler INTERFACE ${ZITA_RESAMPLER_INCLUDE_DIR})
add_library(lexorin_gsm INTERFACE)
target_link_libraries(lexorin_gsm INTERFACE ${GSM_LIBRARY})
target_include_directories(lexorin_gsm INTERFACE ${GSM_INCLUDE_DIR})
set(CMAKE_AUTOMOC ON)
# flite (the tutor's voice for words added as a list) ships no pkg-config file. It is
# opened with dlopen when a word is first said (platform/speech/FliteLibrary), so only its
# header is needed to build; the voice, its language and lexicon, and the engine are
# looked for here so that a machine without them fails at configure time, not at run time.
find_path(FLITE_INCLUDE_DIR flite/flite.h REQUIRED)
add_library(lexorin_flite INTERFACE)
target_include_directories(lexorin_flite INTERFACE ${FLITE_INCLUDE_DIR})
target_link_libraries(lexorin_flite INTERFACE ${CMAKE_DL_LIBS})
foreach(lib flite_cmu_us_slt flite_usenglish flite_cmulex flite)
  find_library(FLITE_LIB_${lib} ${lib} REQUIRED)
endforeach()
