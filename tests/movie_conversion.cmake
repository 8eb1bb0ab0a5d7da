# The conversion: intermediate frame file, the conversion run, the command line
# converter end to end, and the Ctrl+B command.
vistrom_add_test(tst_framefile tst_framefile.cpp)
