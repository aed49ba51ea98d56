#include "parentconsole.h"

#if defined(_WIN32)

#include "platform/win32/leanwindows.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>

namespace {

// A handle given by the parent (a file or pipe of a redirection) must stay:
// `tarnwick --version > out.txt` writes to the file, not the console.
bool leadsSomewhere(DWORD which) {
    HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

// Points a standard stream and the process's standard handle at the
// console.
void reopenOnConsole(std::FILE *stream, DWORD which) {
    HANDLE console =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (console == INVALID_HANDLE_VALUE)
        return;
    if (!std::freopen("CONOUT$", "w", stream)) {
        // msvcrt cannot reopen a stream that never had a handle; its own
        // recipe for windowed programs copies a stream made on the handle.
        const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(console), _O_TEXT);
        std::FILE *opened = descriptor < 0 ? nullptr : _fdopen(descriptor, "w");
        if (!opened) {
            if (descriptor >= 0)
                _close(descriptor);
            else
                CloseHandle(console);
            return;
        }
        *stream = *opened;
    }
    SetStdHandle(which, console);
    // Unbuffered, so lines are not held back until exit (the run's progress
    // comes line by line).
    std::setvbuf(stream, nullptr, _IONBF, 0);
}

} // namespace

void attachParentConsole() {
    const bool outGiven = leadsSomewhere(STD_OUTPUT_HANDLE);
    const bool errGiven = leadsSomewhere(STD_ERROR_HANDLE);
    if (outGiven && errGiven)
        return;
    // Started from Explorer, or by a parent without a console: nothing to
    // attach to. Access denied means attached already (Wine attaches a
    // windowed program to its parent's console itself).
    if (!AttachConsole(ATTACH_PARENT_PROCESS) && GetLastError() != ERROR_ACCESS_DENIED)
        return;
    if (!outGiven)
        reopenOnConsole(stdout, STD_OUTPUT_HANDLE);
    if (!errGiven)
        reopenOnConsole(stderr, STD_ERROR_HANDLE);
}

#else

void attachParentConsole() {}

#endif
