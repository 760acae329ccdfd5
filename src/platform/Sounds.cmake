#Event sounds : libcanberra is linked into the program module talvoro_sounds only, loaded when the
#first sound is due.Included by this folder's CMakeLists.txt.
pkg_check_modules(CANBERRA REQUIRED IMPORTED_TARGET libcanberra)
    talvoro_add_module(talvoro_sounds ${CMAKE_CURRENT_LIST_DIR} /
                       SoundsModule.cpp LINK PkgConfig::CANBERRA)
        add_dependencies(talvoro_platform talvoro_sounds)
