# The project core, driven without a window: every command of the program on
# a Project and the frame list model under it; the project file and the
# clipboard text.
vistrom_add_test(tst_project tst_project.cpp project_tools.h)
vistrom_add_test(tst_projectfile tst_projectfile.cpp)
