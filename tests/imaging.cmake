# Imaging: the BMP reader and the decoder plug-ins, the frame renderer, the preview pane.

# Test-only plug-ins, each kind in a folder of its own under the real plug-in
# names, so that they never sit where the program looks for the real ones.
set(VISTROM_TEST_PLUGIN_DIR ${CMAKE_BINARY_DIR}/test-plugins)
set(imaging_test_plugins)
foreach(kind noexport failing bogus)
    foreach(name ifjpeg ifpng ifwebp iftiff ifgif ifheif)
        set(target testspi_${kind}_${name})
        add_library(${target} MODULE imaging/testplugin.cpp)
        target_compile_definitions(${target} PRIVATE TESTPLUGIN_${kind})
        set_target_properties(${target} PROPERTIES
            OUTPUT_NAME ${name} PREFIX "" SUFFIX ".spi"
            LIBRARY_OUTPUT_DIRECTORY ${VISTROM_TEST_PLUGIN_DIR}/${kind}
            CXX_VISIBILITY_PRESET hidden)
        target_link_libraries(${target} PRIVATE vistrom_spi)
        list(APPEND imaging_test_plugins ${target})
    endforeach()
endforeach()

vistrom_add_test(tst_imageplugins imaging/tst_imageplugins.cpp imaging/BmpFixtures.h
    LIBS JPEG::JPEG PkgConfig::TIFF PkgConfig::GIF PkgConfig::HEIF vistrom_spi ${CMAKE_DL_LIBS} TIMEOUT 120)
target_compile_definitions(tst_imageplugins PRIVATE
    VISTROM_TEST_PLUGIN_DIR="${VISTROM_TEST_PLUGIN_DIR}")
add_dependencies(tst_imageplugins ifjpeg ifpng ifwebp iftiff ifgif ifheif ${imaging_test_plugins})

vistrom_add_test(tst_renderer imaging/tst_renderer.cpp imaging/BmpFixtures.h)
add_dependencies(tst_renderer ifjpeg)

vistrom_add_test(tst_preview imaging/tst_preview.cpp imaging/BmpFixtures.h WIDGETS TIMEOUT 120)
add_dependencies(tst_preview ifpng)
