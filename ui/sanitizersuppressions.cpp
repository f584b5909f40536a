// Built into the UI program only in sanitized builds. The sanitizers must not report what
// system libraries do outside the project's code: Qt's xcb platform opens a D-Bus session
// connection through libdbus, which keeps allocations for the life of the process, and runs it
// on a thread whose GLib wake-ups the uninstrumented libraries cannot show as ordered.
// The runtime looks these hooks up by name, so they stay visible.

#if defined(__SANITIZE_ADDRESS__)
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions();

extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libdbus-1.so\n";
}
#endif

#if defined(__SANITIZE_THREAD__)
extern "C" __attribute__((visibility("default"))) const char* __tsan_default_suppressions();

extern "C" const char* __tsan_default_suppressions()
{
    // Qt hands events between its D-Bus and X event-reader threads and the GUI
    // thread through its own uninstrumented queues; the UI's code itself runs on
    // the GUI thread only.
    return "race:libglib-2.0.so\n"
           "race:libQt6Core.so\n"
           "race:libQt6DBus.so\n"
           "race:libQt6Gui.so\n"
           "race:libQt6XcbQpa.so\n"
           "race:libxcb.so\n";
}
#endif
