#include <windows.h>
#include <winternl.h>

#include <cstddef>

#include "monitor/process_list_query_win.h"

namespace {

namespace Layout = ProcessListLayout;

// The system header names only some fields; those it names must sit where the parser reads them.
static_assert(sizeof(SYSTEM_PROCESS_INFORMATION) == Layout::EntrySize);
static_assert(offsetof(SYSTEM_PROCESS_INFORMATION, CreateTime) == Layout::CreateTime);
static_assert(offsetof(SYSTEM_PROCESS_INFORMATION, UserTime) == Layout::UserTime);
static_assert(offsetof(SYSTEM_PROCESS_INFORMATION, KernelTime) == Layout::KernelTime);
static_assert(offsetof(SYSTEM_PROCESS_INFORMATION, ImageName) + offsetof(UNICODE_STRING, Buffer) ==
              Layout::ImageNameBuffer);
static_assert(offsetof(SYSTEM_PROCESS_INFORMATION, UniqueProcessId) == Layout::UniqueProcessId);
static_assert(offsetof(SYSTEM_PROCESS_INFORMATION, HandleCount) == Layout::HandleCount);
static_assert(offsetof(SYSTEM_PROCESS_INFORMATION, VirtualMemoryCounters.WorkingSetSize) == Layout::WorkingSetSize);
static_assert(offsetof(SYSTEM_PROCESS_INFORMATION, VirtualMemoryCounters.PagefileUsage) == Layout::PagefileUsage);

using QuerySystemInformation = NTSTATUS(NTAPI*)(ULONG, PVOID, ULONG, PULONG);

}  // namespace

ProcessListQuery SystemProcessListQuery() {
    // Through void*: GetProcAddress's generic type would warn against the real signature.
    const auto query = reinterpret_cast<QuerySystemInformation>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (query == nullptr) {
        return {};
    }
    return [query](void* buffer, uint32_t size, uint32_t* needed) -> int32_t {
        ULONG length = 0;
        const NTSTATUS status = query(SystemProcessInformation, buffer, size, &length);
        *needed = length;
        return status;
    };
}
