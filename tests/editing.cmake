# List editing commands, the value prompt, the list's keys and undo/redo.
vistrom_add_test(tst_editing tst_editing.cpp WIDGETS)
