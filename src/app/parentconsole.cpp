#include "parentconsole.h"

#if defined(_WIN32)

#include "platform/win32/leanwindows.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <iostream>

namespace {

struct StandardStream {
    std::FILE *stream;
    int descriptor;
    DWORD handle;
    const wchar_t *device;
    const char *deviceName;
    const char *mode;
};

// A handle given by the parent (a file or pipe of a redirection) must stay:
// `tarnwick --version > out.txt` writes to the file, not the console.
bool leadsSomewhere(DWORD which) {
    HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

int openConsoleDescriptor(const StandardStream &s) {
    HANDLE console =
        CreateFileW(s.device, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (console == INVALID_HANDLE_VALUE)
        return -1;
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(console), _O_TEXT);
    if (descriptor < 0)
        CloseHandle(console);
    return descriptor;
}

// Points a standard stream, its descriptor and the process's standard
// handle at the console.
bool reopenOnConsole(const StandardStream &s) {
    // The documented way, which the UCRT always allows.
    if (!std::freopen(s.deviceName, s.mode, s.stream)) {
#if defined(_UCRT)
        return false;
#else
        // msvcrt starts a windowed program's standard streams without a
        // descriptor and then cannot reopen (nor close) them. Its own
        // documented recipe for that case (Microsoft's KB 105305) copies a
        // stream made on the console into the standard one; msvcrt's FILE is
        // a plain structure with no lock inside, which makes that sound there
        // and only there.
        const int descriptor = openConsoleDescriptor(s);
        std::FILE *opened = descriptor < 0 ? nullptr : _fdopen(descriptor, s.mode);
        if (!opened) {
            if (descriptor >= 0)
                _close(descriptor);
            return false;
        }
        *s.stream = *opened;
#endif
    }
    // Whatever writes to the descriptor or the handle (rather than the
    // stream) reaches the console too.
    const int own = _fileno(s.stream);
    if (own >= 0 && own != s.descriptor)
        _dup2(own, s.descriptor);
    const intptr_t handle = _get_osfhandle(s.descriptor);
    if (handle != -1)
        SetStdHandle(s.handle, reinterpret_cast<HANDLE>(handle));
    // Unbuffered, so lines are not held back until exit (the run's progress
    // comes line by line).
    if (s.stream != stdin)
        std::setvbuf(s.stream, nullptr, _IONBF, 0);
    return true;
}

} // namespace

void attachParentConsole() {
    static bool attached = false;
    if (attached)
        return;
    const StandardStream streams[] = {
        {stdin, 0, STD_INPUT_HANDLE, L"CONIN$", "CONIN$", "r"},
        {stdout, 1, STD_OUTPUT_HANDLE, L"CONOUT$", "CONOUT$", "w"},
        {stderr, 2, STD_ERROR_HANDLE, L"CONOUT$", "CONOUT$", "w"},
    };
    bool given[3];
    bool allGiven = true;
    for (int i = 0; i < 3; ++i) {
        given[i] = leadsSomewhere(streams[i].handle);
        allGiven = allGiven && given[i];
    }
    if (allGiven)
        return;
    // Started from Explorer, or by a parent without a console: nothing to
    // attach to. Access denied means attached already (Wine attaches a
    // windowed program to its parent's console itself).
    if (!AttachConsole(ATTACH_PARENT_PROCESS) && GetLastError() != ERROR_ACCESS_DENIED)
        return;
    attached = true;
    for (int i = 0; i < 3; ++i) {
        if (!given[i])
            reopenOnConsole(streams[i]);
    }
    // The C++ streams write through the C ones; a write that failed before
    // (nothing to write to) left them failed for good unless cleared.
    std::ios::sync_with_stdio(true);
    std::cin.clear();
    std::cout.clear();
    std::cerr.clear();
    std::clog.clear();
    std::wcin.clear();
    std::wcout.clear();
    std::wcerr.clear();
    std::wclog.clear();
}

#else

void attachParentConsole() {}

#endif
