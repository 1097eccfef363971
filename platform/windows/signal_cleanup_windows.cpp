// Ctrl+C, Ctrl+Break and closing the console remove the run's temporary
// page. The console control handler runs in a thread of its own: it and the
// code that makes, renames or removes the page take turns through one lock,
// which is what a held change holds.
#include "platform/signal_cleanup.h"

#include <windows.h>

#include "platform/page_file.h"
#include "platform/windows/windows_files.h"

namespace {

CRITICAL_SECTION g_held_lock;
HANDLE g_held = INVALID_HANDLE_VALUE;
bool g_settled = false;  // the new page is in place: the run has succeeded

BOOL WINAPI remove_held_on_control(DWORD event)
{
    EnterCriticalSection(&g_held_lock);
    if (g_settled) {
        // Ctrl+C and Ctrl+Break are let go, and the run ends as it ends;
        // closing the console ends it here, with its success.
        LeaveCriticalSection(&g_held_lock);
        if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT)
            return TRUE;
        ExitProcess(0);
    }
    // The lock is never left: the run ends here, as a console program
    // stopped by Ctrl+C does, and ending it closes the held file, which
    // then goes.
    if (g_held != INVALID_HANDLE_VALUE)
        delete_on_close(g_held);
    ExitProcess(STATUS_CONTROL_C_EXIT);
}

}  // namespace

void guard_held_page()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    InitializeCriticalSection(&g_held_lock);
    SetConsoleCtrlHandler(remove_held_on_control, TRUE);
}

void begin_held_change()
{
    EnterCriticalSection(&g_held_lock);
}

void end_held_change()
{
    LeaveCriticalSection(&g_held_lock);
}

void end_held_change_for_good()
{
    g_settled = true;
    LeaveCriticalSection(&g_held_lock);
}

void hold_page(const PageFile& page)
{
    g_held = reinterpret_cast<HANDLE>(page.file.handle);
}

void release_held_page()
{
    g_held = INVALID_HANDLE_VALUE;
}
