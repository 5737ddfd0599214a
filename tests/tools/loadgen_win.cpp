// Load generator for the monitoring tests and the pass benchmark: takes the memory and threads its
// command line asks for ("alloc <MB>", "threads <N>", "spin <N>" busy ones), then signals the
// inherited event of "ready <handle>" and runs until its stdin ends; input on stdin gives the last
// "alloc" back.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    void* allocated = nullptr;
    for (int i = 1; i + 1 < argc; i += 2) {
        const SIZE_T count = std::strtoull(argv[i + 1], nullptr, 10);
        if (std::strcmp(argv[i], "alloc") == 0) {
            const SIZE_T size = count * 1048576;
            auto* memory =
                static_cast<unsigned char*>(VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
            // Only touched pages count in the working set.
            for (SIZE_T offset = 0; memory != nullptr && offset < size; offset += 4096) {
                memory[offset] = 1;
            }
            allocated = memory;
        } else if (std::strcmp(argv[i], "threads") == 0 || std::strcmp(argv[i], "spin") == 0) {
            const LPTHREAD_START_ROUTINE sleepForever = [](LPVOID) -> DWORD {
                Sleep(INFINITE);
                return 0;
            };
            const LPTHREAD_START_ROUTINE spin = [](LPVOID) -> DWORD {
                for (volatile bool busy = true; busy;) {
                }
                return 0;
            };
            for (SIZE_T t = 0; t < count; ++t) {
                CloseHandle(CreateThread(nullptr, 64 * 1024, argv[i][1] == 'p' ? spin : sleepForever, nullptr,
                                         STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
            }
        } else if (std::strcmp(argv[i], "ready") == 0) {
            SetEvent(reinterpret_cast<HANDLE>(static_cast<uintptr_t>(count)));
        }
    }
    while (std::getchar() != EOF) {
        VirtualFree(allocated, 0, MEM_RELEASE);
    }
    return 0;
}
