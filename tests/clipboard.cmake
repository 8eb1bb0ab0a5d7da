# Clipboard rows, drops, the file-list import, showing and changing an image.
vistrom_add_test(tst_rowclipboard tst_rowclipboard.cpp)
vistrom_add_test(tst_listcommands tst_listcommands.cpp WIDGETS)

# Two running copies of the program and a shell exchange rows through a real
# X11 clipboard (its own Xvfb; about 1.5 s). Skipped without Xvfb or xclip.
find_program(VISTROM_XVFB Xvfb)
find_program(VISTROM_XCLIP xclip)
if(VISTROM_XVFB AND VISTROM_XCLIP)
    add_test(NAME clipboard_two_copies
             COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/clipboard-two-copies.sh $<TARGET_FILE:vistrom>)
    set_tests_properties(clipboard_two_copies PROPERTIES TIMEOUT 60 SKIP_RETURN_CODE 77)
endif()
