# Folder navigation, the Help menu, the about box and the playback panel of
# the main window: a library of their own, linked by the window and tested on
# their own.

# Where an installed program finds its data, seen from its executable.
file(RELATIVE_PATH VARNELLO_DATA_FROM_BIN
    "/prefix/${CMAKE_INSTALL_BINDIR}" "/prefix/${CMAKE_INSTALL_DATADIR}/varnello")
configure_file(${CMAKE_CURRENT_LIST_DIR}/VarnelloSettings.h.in
    ${CMAKE_CURRENT_BINARY_DIR}/navigation/VarnelloSettings.h @ONLY)

add_library(varnello_navigation STATIC
    ${CMAKE_CURRENT_LIST_DIR}/AddressHistory.cpp
    ${CMAKE_CURRENT_LIST_DIR}/AddressHistory.h
    ${CMAKE_CURRENT_LIST_DIR}/FolderNavigator.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FolderNavigator.h
    ${CMAKE_CURRENT_LIST_DIR}/HelpMenu.cpp
    ${CMAKE_CURRENT_LIST_DIR}/HelpMenu.h
    ${CMAKE_CURRENT_LIST_DIR}/TAboutBox1.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TAboutBox1.h
    ${CMAKE_CURRENT_LIST_DIR}/TDirListBox.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TDirListBox.h
    ${CMAKE_CURRENT_LIST_DIR}/TDriveComboBox.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TDriveComboBox.h
    ${CMAKE_CURRENT_LIST_DIR}/TFileListBox.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TFileListBox.h
    ${CMAKE_CURRENT_LIST_DIR}/TPlaybackPanel.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TPlaybackPanel.h
    ${CMAKE_CURRENT_LIST_DIR}/Volume.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Volume.h
    ${CMAKE_CURRENT_BINARY_DIR}/navigation/VarnelloSettings.h
)
add_library(Varnello::navigation ALIAS varnello_navigation)
set_target_properties(varnello_navigation PROPERTIES AUTOMOC ON)
target_include_directories(varnello_navigation
    PUBLIC ${CMAKE_CURRENT_LIST_DIR} ${CMAKE_CURRENT_BINARY_DIR}/navigation)
target_link_libraries(varnello_navigation
    PUBLIC Qt6::Widgets Varnello::filerows
    PRIVATE Varnello::warnings)
target_compile_definitions(varnello_navigation PRIVATE
    QT_NO_CAST_TO_ASCII
    QT_DISABLE_DEPRECATED_UP_TO=0x060000)
