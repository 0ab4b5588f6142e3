# The version block's fields, kept here once. configure_file turns res/version.h.in into the
# generated version.h, which the About box and anything else that shows them read.
set(TAPPY_FILE_VERSION "1.0.0.1")
set(TAPPY_FILE_VERSION_STRING "1, 0, 0, 1")
set(TAPPY_PRODUCT_VERSION "1.0.0.1")
set(TAPPY_PRODUCT_VERSION_STRING "1, 0, 0, 1")
string(REPLACE "." ", " TAPPY_FILE_VERSION_PARTS "${TAPPY_FILE_VERSION}")
string(REPLACE "." ", " TAPPY_PRODUCT_VERSION_PARTS "${TAPPY_PRODUCT_VERSION}")
# U.S. English, strings in code page 1200 (UTF-16), as the block is labelled.
set(TAPPY_VERSION_LANGUAGE "0x0409")
set(TAPPY_VERSION_CODEPAGE "1200")

set(TAPPY_COMPANY_NAME "")
set(TAPPY_FILE_DESCRIPTION "Tappy MFC Application")
set(TAPPY_INTERNAL_NAME "Tappy")
set(TAPPY_LEGAL_COPYRIGHT "Made for small hands by the Tappy team.")
set(TAPPY_LEGAL_TRADEMARKS "")
set(TAPPY_ORIGINAL_FILENAME "Tappy.EXE")
set(TAPPY_PRODUCT_NAME "Tappy Application")

# The program's own release, which is not the version block's number: the About box's product
# line carries it, and so do the Debian package and its metadata (cmake/package.cmake).
set(TAPPY_RELEASE "1.1.2")
set(TAPPY_RELEASE_DATE "2026-12-07")
set(TAPPY_ABOUT_PRODUCT_LINE "Tappy Version ${TAPPY_RELEASE}")
set(TAPPY_CONTACT "hello@tappy.example")

# The resource headers are included by their folder, "res/about_dialog.h", like the sources'
# "content/topic.h".
cmake_path(GET CMAKE_CURRENT_LIST_DIR PARENT_PATH TAPPY_SOURCE_ROOT)
include_directories(${TAPPY_SOURCE_ROOT})
