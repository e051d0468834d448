# The Qt half of the platform layer: file dialog, boxes, text conversion, the event queue.
find_package(Qt6 REQUIRED COMPONENTS Widgets)
tessivor_library(tessivor_platform_qt
    SOURCES qt_dialogs.cpp qt_events.cpp qt_text.cpp qt_source_text.cpp
    HEADERS qt_dialogs.h qt_events.h qt_text.h qt_source_text.h qt_testing.h
    LIBS Qt6::Widgets tessivor_platform)

tessivor_add_test(platform_qt_test
    SOURCES qt_dialogs_test.cpp qt_text_test.cpp qt_events_test.cpp qt_source_text_test.cpp
    LIBS tessivor_platform_qt
    ENV "QT_QPA_PLATFORM=offscreen")
