# The frame list model, the project file and the main window.
vistrom_add_test(tst_projectfile tst_projectfile.cpp)
vistrom_add_test(tst_framelist tst_framelist.cpp)
vistrom_add_test(tst_mainwindow tst_mainwindow.cpp WIDGETS)
