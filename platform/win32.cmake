# The Win32 half of the platform layer: the file dialog, the boxes, the message queue, sizes and
# fonts at the monitor's DPI, texts in the ANSI code page. No Qt.
tessivor_library(tessivor_platform_win32
    SOURCES win32_dialogs.cpp win32_text.cpp win32_window.cpp
    HEADERS ${tessivor_platform_win32_headers}
    LIBS tessivor_platform comdlg32 comctl32 gdi32 user32)
# The system's names for its texts (IDC_ARROW, the W functions) in their UTF-16 forms.
target_compile_definitions(tessivor_platform_win32 PUBLIC UNICODE _UNICODE)

# Windows open here, so under Wine the tests need a display (scripts/wine-ctest.sh gives one).
tessivor_add_test(platform_win32_test
    SOURCES win32_text_test.cpp win32_window_test.cpp
    LIBS tessivor_platform_win32 oleacc ole32 oleaut32 uuid)
