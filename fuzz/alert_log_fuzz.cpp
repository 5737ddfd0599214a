#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "alerts/alert_log.h"
#include "base/file_io.h"
#include "fuzz_targets.h"
#include "support/alert_test_support.h"

// Any bytes as alerts.log: the backward reader, with small blocks that split lines, multi-byte
// sequences and the mark, returns exactly the newest records of a plain full read.
// Input: byte 0 picks the block size, byte 1 the number of records kept, the rest is the file.
bool AlertLogFuzz(const uint8_t* data, size_t size) {
    if (size < 2) {
        return true;
    }
    const size_t blockBytes = 1 + data[0] % 64;
    const size_t maxRecords = 1 + data[1] % 16;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 2, size - 2);

    static const std::wstring path = (std::filesystem::temp_directory_path() /
                                      ("watchkeep_alert_log_fuzz_" + std::to_string(std::random_device()()) + ".log"))
                                         .wstring();
    if (!WriteFileBytes(path, bytes)) {
        return false;
    }
    std::vector<AlertRecord> records;
    if (!ReadAlertLogTail(path, maxRecords, records, blockBytes)) {
        return false;
    }
    const std::vector<AlertRecord> reference = ReadAlertLogReference(bytes);
    const size_t expected = std::min(maxRecords, reference.size());
    if (records != std::vector<AlertRecord>(reference.end() - static_cast<std::ptrdiff_t>(expected), reference.end())) {
        return false;
    }
    return true;
}
