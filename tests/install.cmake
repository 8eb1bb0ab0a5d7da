# The language the program speaks.
vistrom_add_test(tst_language tst_language.cpp WIDGETS)
add_dependencies(tst_language vistrom)
