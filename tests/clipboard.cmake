# Clipboard rows, drops, the file-list import, showing and changing an image.
vistrom_add_test(tst_rowclipboard tst_rowclipboard.cpp)
vistrom_add_test(tst_listcommands tst_listcommands.cpp WIDGETS)
