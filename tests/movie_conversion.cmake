# The conversion: intermediate frame file, the conversion run, the command line
# converter end to end, and the Ctrl+B command.
vistrom_add_test(tst_framefile tst_framefile.cpp)
vistrom_add_test(tst_conversion tst_conversion.cpp TIMEOUT 300)
add_dependencies(tst_conversion vistrom)
vistrom_add_test(tst_convertcommand tst_convertcommand.cpp WIDGETS TIMEOUT 120)
