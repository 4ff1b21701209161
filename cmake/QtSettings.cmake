# The Qt settings of every user-interface target, set once: no implicit
# conversions between 8-bit strings and QString (text goes through one
# helper), and nothing deprecated in Qt 6. The UI libraries link it
# publicly, so their tests and programs get it with them.
add_library(varnello_qt_settings INTERFACE)
add_library(Varnello::qtsettings ALIAS varnello_qt_settings)
target_compile_definitions(varnello_qt_settings INTERFACE
    QT_NO_CAST_TO_ASCII
    QT_DISABLE_DEPRECATED_UP_TO=0x060000
    QT_DISABLE_DEPRECATED_BEFORE=0x060000)
