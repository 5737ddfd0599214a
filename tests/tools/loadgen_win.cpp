// Load generator for the monitoring tests: holds memory, threads, a busy core and handles on
// command. Commands come as command-line words, then one per line on stdin:
//   alloc <MB>     allocate and touch that many megabytes (kept until exit)
//   threads <N>    start N threads that only wait
//   spin           start one thread that keeps a core busy
//   handles <N>    open N event handles
//   exit           end (so does the end of stdin)
// After the command-line words and after every stdin line it prints "ready" and flushes.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

HANDLE neverSignalled = nullptr;

DWORD WINAPI WaitForever(LPVOID) {
    WaitForSingleObject(neverSignalled, INFINITE);
    return 0;
}

DWORD WINAPI Spin(LPVOID) {
    volatile unsigned long long counter = 0;
    for (;;) {
        counter = counter + 1;
    }
}

void StartThreads(unsigned count, LPTHREAD_START_ROUTINE routine) {
    for (unsigned i = 0; i < count; ++i) {
        HANDLE thread = CreateThread(nullptr, 64 * 1024, routine, nullptr, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
        if (thread) CloseHandle(thread);
    }
}

void Allocate(unsigned megabytes) {
    const SIZE_T size = static_cast<SIZE_T>(megabytes) * 1048576;
    auto* memory = static_cast<unsigned char*>(VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!memory) return;
    for (SIZE_T offset = 0; offset < size; offset += 4096) memory[offset] = 1;
}

void OpenHandles(unsigned count) {
    for (unsigned i = 0; i < count; ++i) CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

// Runs one command from its words; returns false for "exit".
bool Run(const std::vector<std::string>& words, size_t& index) {
    const std::string& command = words[index++];
    const unsigned argument = index < words.size() ? static_cast<unsigned>(std::strtoul(words[index].c_str(), nullptr, 10)) : 0;
    if (command == "alloc") {
        Allocate(argument);
        ++index;
    } else if (command == "threads") {
        StartThreads(argument, WaitForever);
        ++index;
    } else if (command == "handles") {
        OpenHandles(argument);
        ++index;
    } else if (command == "spin") {
        StartThreads(1, Spin);
    } else if (command == "exit") {
        return false;
    }
    return true;
}

bool RunAll(const std::vector<std::string>& words) {
    size_t index = 0;
    while (index < words.size()) {
        if (!Run(words, index)) return false;
    }
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    return true;
}

std::vector<std::string> Split(const char* line) {
    std::vector<std::string> words;
    std::string word;
    for (const char* p = line;; ++p) {
        if (*p == '\0' || *p == ' ' || *p == '\t' || *p == '\r' || *p == '\n') {
            if (!word.empty()) words.push_back(word);
            word.clear();
            if (*p == '\0') break;
        } else {
            word += *p;
        }
    }
    return words;
}

}  // namespace

int main(int argc, char** argv) {
    neverSignalled = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!RunAll(std::vector<std::string>(argv + 1, argv + argc))) return 0;
    char line[256];
    while (std::fgets(line, sizeof(line), stdin)) {
        if (!RunAll(Split(line))) return 0;
    }
    return 0;
}
