# Every outside library, found once for all folders.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(ZLIB REQUIRED)
find_package(JPEG REQUIRED)
find_package(OpenSSL REQUIRED)
find_package(CURL REQUIRED)
find_package(pugixml REQUIRED)
find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets WebEngineWidgets Test)

# FreeImage ships neither a CMake config nor a pkg-config file.
find_path(FREEIMAGE_INCLUDE_DIR FreeImage.h REQUIRED)
find_library(FREEIMAGE_LIBRARY freeimage REQUIRED)
add_library(FreeImage::FreeImage UNKNOWN IMPORTED)
set_target_properties(FreeImage::FreeImage PROPERTIES
  IMPORTED_LOCATION ${FREEIMAGE_LIBRARY}
  INTERFACE_INCLUDE_DIRECTORIES ${FREEIMAGE_INCLUDE_DIR})

pkg_check_modules(CAIRO REQUIRED IMPORTED_TARGET cairo cairo-pdf cairo-png)
pkg_check_modules(PANGOCAIRO REQUIRED IMPORTED_TARGET pangocairo)
pkg_check_modules(LIBBURN REQUIRED IMPORTED_TARGET libburn-1)
pkg_check_modules(LIBISOFS REQUIRED IMPORTED_TARGET libisofs-1)
pkg_check_modules(QPDF REQUIRED IMPORTED_TARGET libqpdf)
pkg_check_modules(LIBDEFLATE REQUIRED IMPORTED_TARGET libdeflate)
pkg_check_modules(LCMS2 REQUIRED IMPORTED_TARGET lcms2)

# litehtml's target carries no include folder or defines.
find_package(litehtml REQUIRED)
if(TARGET litehtml AND NOT TARGET litehtml::litehtml)
  add_library(litehtml::litehtml INTERFACE IMPORTED)
  target_link_libraries(litehtml::litehtml INTERFACE litehtml)
  target_include_directories(litehtml::litehtml INTERFACE /usr/include/litehtml)
  target_compile_definitions(litehtml::litehtml INTERFACE LITEHTML_UTF8)
endif()

if(VELMORA_BUILD_TESTS)
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()
