#pragma once

#include "monitor/process_list.h"

// NtQuerySystemInformation(SystemProcessInformation) from ntdll, or an empty query when the
// system does not export it.
ProcessListQuery SystemProcessListQuery();
