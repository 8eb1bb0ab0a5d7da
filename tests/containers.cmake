# Movies in containers other than AVI through the converter, and AVI pinned.
vistrom_add_test(tst_containers tst_containers.cpp scripted_dialogs.h WIDGETS TIMEOUT 300)
add_dependencies(tst_containers vistrom)
