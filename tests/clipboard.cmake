# Two running programs and a shell exchange rows through a real X11 clipboard
# (its own Xvfb; about 1.5 s). Each program is clipboard_peer, which drives the
# list pane's own copy and paste commands. Skipped without Xvfb or xclip.
add_executable(clipboard_peer clipboard_peer.cpp)
target_link_libraries(clipboard_peer PRIVATE vistrom_widgets)

find_program(VISTROM_XVFB Xvfb)
find_program(VISTROM_XCLIP xclip)
if(VISTROM_XVFB AND VISTROM_XCLIP)
    add_test(NAME clipboard_two_copies
             COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/clipboard-two-copies.sh
                     $<TARGET_FILE:clipboard_peer>)
    set_tests_properties(clipboard_two_copies PROPERTIES TIMEOUT 60 SKIP_RETURN_CODE 77)
endif()
