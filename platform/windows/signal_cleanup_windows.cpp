// Ctrl+C, Ctrl+Break and closing the console remove the run's temporary
// page. The console control handler runs in a thread of its own: it and the
// code that makes, renames or removes the page take turns through one lock,
// which is what a held change holds.
#include "platform/signal_cleanup.h"

#include <windows.h>

#include <mutex>

#include "platform/page_file.h"
#include "platform/windows/windows_files.h"

namespace {

CRITICAL_SECTION g_held_lock;
// A held page for each thread that makes pages (the threads of a tree of
// albums make pages at once).
constexpr int kSlots = 64;
HANDLE g_held[kSlots];
int g_slots_taken = 0;  // changed only inside the lock
thread_local int t_slot = -1;
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
    for (int i = 0; i < g_slots_taken && i < kSlots; ++i)
        if (g_held[i] != INVALID_HANDLE_VALUE)
            delete_on_close(g_held[i]);
    ExitProcess(STATUS_CONTROL_C_EXIT);
}

}  // namespace

void guard_held_page()
{
    static std::once_flag installed;
    std::call_once(installed, [] {
        InitializeCriticalSection(&g_held_lock);
        SetConsoleCtrlHandler(remove_held_on_control, TRUE);
    });
}

void begin_held_change()
{
    EnterCriticalSection(&g_held_lock);
    if (t_slot < 0 && g_slots_taken < kSlots) {
        t_slot = g_slots_taken++;
        g_held[t_slot] = INVALID_HANDLE_VALUE;
    }
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
    if (t_slot >= 0)
        g_held[t_slot] = reinterpret_cast<HANDLE>(page.file.handle);
}

void release_held_page()
{
    if (t_slot >= 0)
        g_held[t_slot] = INVALID_HANDLE_VALUE;
}
