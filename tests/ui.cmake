# The widgets: the main window with its list pane, menus, keys, mouse and
# drops; the dialogs' fields. Dialogs are answered by ScriptedDialogs.
vistrom_add_test(tst_mainwindow tst_mainwindow.cpp project_tools.h scripted_dialogs.h WIDGETS
    LIBS vistrom_app)
vistrom_add_test(tst_dialogs tst_dialogs.cpp scripted_dialogs.h WIDGETS)
vistrom_add_test(tst_playback tst_playback.cpp project_tools.h scripted_dialogs.h WIDGETS)
