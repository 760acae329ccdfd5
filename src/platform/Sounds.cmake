# Event sounds: libcanberra is linked into the program module talvoro_sounds only, loaded when the
# first sound is due. Included by this folder's CMakeLists.txt.
pkg_check_modules(CANBERRA REQUIRED IMPORTED_TARGET libcanberra)
talvoro_add_module(talvoro_sounds ${CMAKE_CURRENT_LIST_DIR}/SoundsModule.cpp
                   LINK PkgConfig::CANBERRA)
# The module calls nothing of the C library itself, so the toolchain's default --as-needed would
# leave libc out of its needed libraries, which packaging tools reject for a shared library.
target_link_options(talvoro_sounds PRIVATE "LINKER:--no-as-needed")
add_dependencies(talvoro_platform talvoro_sounds)
