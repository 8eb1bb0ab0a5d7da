# The language the program speaks, and the installed tree with its desktop files.
vistrom_add_test(tst_language tst_language.cpp WIDGETS)
add_dependencies(tst_language vistrom)

# Installs the build into a temporary DESTDIR (so it needs everything built, as
# `make test` does) and checks it with the desktop's own validators.
vistrom_add_test(tst_install tst_install.cpp TIMEOUT 120)
add_dependencies(tst_install vistrom vistrom_desktop_files)
target_compile_definitions(tst_install PRIVATE
    VISTROM_CMAKE_COMMAND="${CMAKE_COMMAND}"
    VISTROM_BUILD_DIR="${PROJECT_BINARY_DIR}"
    VISTROM_APP_ID="${VISTROM_APP_ID}"
    VISTROM_INSTALL_BINDIR="${CMAKE_INSTALL_BINDIR}"
    VISTROM_INSTALL_DATADIR="${CMAKE_INSTALL_DATADIR}"
    VISTROM_INSTALL_MANDIR="${CMAKE_INSTALL_MANDIR}"
    VISTROM_PLUGIN_INSTALL_SUBDIR="${VISTROM_PLUGIN_INSTALL_SUBDIR}")
