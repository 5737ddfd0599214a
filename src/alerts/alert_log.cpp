#include "alerts/alert_log.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <iterator>

#include "base/c_scan.h"
#include "base/file_io.h"
#include "base/utf16.h"
#include "base/utf8.h"

namespace {

// Reads like scanf's %hu: optional white space and sign, then at least one digit; the value
// wraps modulo 65536 as the C runtime's conversion does.
bool ScanUnsigned16(std::wstring_view text, size_t& at, uint16_t& value) {
    CDigits digits;
    if (!ScanCDigits(text, at, digits)) {
        return false;
    }
    value = static_cast<uint16_t>(digits.Negative ? 0 - digits.Magnitude : digits.Magnitude);
    return true;
}

// "%hu-%hu-%hu %hu:%hu:%hu" into year, month, day, hour, minute, second; parts after the first
// mismatch stay 0.
AlertTime ParseAlertTime(std::wstring_view text) {
    AlertTime time;
    uint16_t* const parts[] = {&time.Year, &time.Month, &time.Day, &time.Hour, &time.Minute, &time.Second};
    const wchar_t separators[] = {L'-', L'-', L' ', L':', L':'};
    size_t at = 0;
    for (size_t part = 0; part < std::size(parts); ++part) {
        if (part > 0) {
            const wchar_t separator = separators[part - 1];
            if (separator == L' ') {
                SkipCBlanks(text, at);
            } else if (at < text.size() && text[at] == separator) {
                ++at;
            } else {
                break;
            }
        }
        if (!ScanUnsigned16(text, at, *parts[part])) {
            break;
        }
    }
    return time;
}

// A signed decimal number after optional white space, 0 without digits; the magnitude saturates
// at 2^32 - 1 and a minus sign wraps, so every PID written with %u (also those above 2^31) reads
// back unchanged.
uint32_t ParsePid(std::wstring_view text) {
    size_t at = 0;
    CDigits digits;
    if (!ScanCDigits(text, at, digits)) {
        return 0;
    }
    const uint64_t number = digits.Overflow ? UINT32_MAX : std::min<uint64_t>(digits.Magnitude, UINT32_MAX);
    return static_cast<uint32_t>(digits.Negative ? 0 - number : number);
}

bool IsContinuation(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// A position near the end of bytes where UTF-8 decoding can stop and restart with the same
// result: before a byte that cannot continue a sequence, or after three continuation bytes
// (no sequence is longer than four bytes). 0 when bytes is too short to tell.
size_t SafeSplit(std::string_view bytes) {
    const size_t size = bytes.size();
    if (size < 5) {
        return 0;
    }
    for (size_t p = size - 1; p + 4 >= size; --p) {
        if (!IsContinuation(bytes[p]) ||
            (IsContinuation(bytes[p - 1]) && IsContinuation(bytes[p - 2]) && IsContinuation(bytes[p - 3]))) {
            return p;
        }
    }
    return size - 4;
}

// One line's bytes, fed in order in chunks of any size, decoded and cut into pieces of at most
// kAlertLogPieceChars UTF-16 units (a pair is never split, as in rules.csv), each parsed as a
// line of its own. Keeps only the newest `limit` records.
class LineReader {
public:
    explicit LineReader(size_t limit) : limit_(limit) {}

    void Feed(std::string_view bytes, bool last) {
        carry_.append(bytes);
        const size_t end = last ? carry_.size() : SafeSplit(carry_);
        Split(Utf8ToWide(std::string_view(carry_).substr(0, end)));
        carry_.erase(0, end);
        if (last) {
            EmitPiece();
        }
    }

    std::deque<AlertRecord>& Records() { return records_; }

private:
    void Split(std::wstring_view text) {
        for (size_t i = 0; i < text.size();) {
            const size_t length = CharacterLength(text, i);
            const size_t units = length == 2 ? 2 : Utf16Units(text[i]);
            if (pieceUnits_ + units > kAlertLogPieceChars) {
                EmitPiece();
            }
            piece_.append(text.substr(i, length));
            pieceUnits_ += units;
            i += length;
            if (pieceUnits_ == kAlertLogPieceChars) {
                EmitPiece();
            }
        }
    }

    void EmitPiece() {
        AlertRecord record;
        if (ParseAlertLogLine(piece_, record)) {
            records_.push_back(std::move(record));
            if (records_.size() > limit_) {
                records_.pop_front();
            }
        }
        piece_.clear();
        pieceUnits_ = 0;
    }

    size_t limit_;
    std::string carry_;
    std::wstring piece_;
    size_t pieceUnits_ = 0;
    std::deque<AlertRecord> records_;
};

bool ReadAt(std::FILE* file, uint64_t offset, uint64_t length, std::string& bytes) {
    bytes.resize(static_cast<size_t>(length));
    return SeekFile(file, offset) && std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

// A line that does not fit the cached block is read again forwards, one block at a time, so even
// a huge line needs little memory.
bool StreamLine(std::FILE* file, uint64_t start, uint64_t end, uint64_t chunkBytes, LineReader& reader) {
    std::string chunk;
    // The mark is looked at whole: a chunk may be shorter than the mark itself.
    if (start == 0 && end >= kUtf8Bom.size()) {
        if (!ReadAt(file, 0, kUtf8Bom.size(), chunk)) {
            return false;
        }
        if (chunk == kUtf8Bom) {
            start = kUtf8Bom.size();
        }
    }
    for (uint64_t at = start; at < end;) {
        const uint64_t length = std::min(end - at, chunkBytes);
        if (!ReadAt(file, at, length, chunk)) {
            return false;
        }
        at += length;
        reader.Feed(chunk, at == end);
    }
    return true;
}

}  // namespace

std::string FormatAlertLogLine(const AlertRecord& record) {
    char head[96];
    std::snprintf(head, sizeof head, "%04d-%02d-%02d %02d:%02d:%02d\t%u\t", record.Time.Year, record.Time.Month,
                  record.Time.Day, record.Time.Hour, record.Time.Minute, record.Time.Second,
                  static_cast<unsigned>(record.PID));
    std::string line(head);
    line += WideToUtf8(record.Process);
    line += '\t';
    line += WideToUtf8(record.Violation);
    line += "\r\n";
    return line;
}

size_t AppendAlertLogLines(const std::wstring& path, const std::vector<std::string>& lines, FileWrite write) {
    FilePtr file = OpenFile(path, "ab+");
    if (!file) {
        return 0;
    }
    // A last line that lost its line end (cut by an editor or a copy) would swallow the first record.
    std::string lineEnd;
    if (std::fseek(file.get(), -1, SEEK_END) == 0 && std::fgetc(file.get()) != '\n') {
        lineEnd = "\r\n";
    }
    size_t written = 0;
    for (const std::string& line : lines) {
        if (!AppendWhole(file.get(), lineEnd.empty() ? line : lineEnd + line, write)) {
            break;
        }
        lineEnd.clear();
        ++written;
    }
    return written;
}

bool AppendAlertLogLine(const std::wstring& path, const AlertRecord& record) {
    return AppendAlertLogLines(path, {FormatAlertLogLine(record)}) == 1;
}

bool ParseAlertLogLine(std::wstring_view line, AlertRecord& record) {
    while (!line.empty() && (line.back() == L'\n' || line.back() == L'\r')) {
        line.remove_suffix(1);
    }
    if (line.empty()) {
        return false;
    }
    std::wstring_view fields[4];
    size_t count = 0;
    for (size_t start = 0; count < std::size(fields);) {
        const size_t tab = line.find(L'\t', start);
        fields[count++] = line.substr(start, tab == std::wstring_view::npos ? std::wstring_view::npos : tab - start);
        if (tab == std::wstring_view::npos) {
            break;
        }
        start = tab + 1;
    }
    if (count < 3) {
        return false;
    }
    AlertRecord parsed;
    parsed.Time = ParseAlertTime(fields[0]);
    parsed.PID = ParsePid(fields[1]);
    parsed.Process = fields[2];
    parsed.Violation = fields[3];
    record = std::move(parsed);
    return true;
}

bool ReadAlertLogTail(const std::wstring& path, size_t maxRecords, std::vector<AlertRecord>& records, size_t blockBytes,
                      uint64_t scanLimitBytes) {
    FilePtr file = OpenFile(path, "rb");
    const int64_t length = file ? FileSize(file.get()) : -1;
    if (length < 0) {
        return false;
    }
    const auto size = static_cast<uint64_t>(length);
    blockBytes = std::max<size_t>(blockBytes, 1);

    // block caches the bytes [blockStart, blockStart + block.size()) of the last backward read.
    std::string block;
    uint64_t blockStart = size;
    std::vector<AlertRecord> newestFirst;
    uint64_t lineEnd = size;
    while (newestFirst.size() < maxRecords) {
        uint64_t searchEnd = lineEnd;
        uint64_t lineStart = 0;
        bool beyondLimit = false;
        for (;;) {
            if (searchEnd > blockStart) {
                const size_t lf = std::string_view(block.data(), searchEnd - blockStart).rfind('\n');
                if (lf != std::string_view::npos) {
                    lineStart = blockStart + lf + 1;
                    break;
                }
                searchEnd = blockStart;
            }
            // A damaged log (one without line ends, or of lines that are not records) is not
            // walked to its start: what lies further back than the limit is not read.
            if (searchEnd == 0) {
                break;
            }
            if (size - searchEnd >= scanLimitBytes) {
                beyondLimit = true;
                break;
            }
            blockStart = searchEnd > blockBytes ? searchEnd - blockBytes : 0;
            if (!ReadAt(file.get(), blockStart, searchEnd - blockStart, block)) {
                return false;
            }
        }
        if (beyondLimit) {
            break;
        }

        LineReader reader(maxRecords - newestFirst.size());
        if (lineStart >= blockStart && lineEnd <= blockStart + block.size()) {
            const std::string_view line(block.data() + (lineStart - blockStart), lineEnd - lineStart);
            reader.Feed(lineStart == 0 ? SkipUtf8Bom(line) : line, true);
        } else if (!StreamLine(file.get(), lineStart, lineEnd, blockBytes, reader)) {
            return false;
        }
        auto& lineRecords = reader.Records();
        std::move(lineRecords.rbegin(), lineRecords.rend(), std::back_inserter(newestFirst));
        if (lineStart == 0) {
            break;
        }
        lineEnd = lineStart - 1;
    }
    records.assign(std::make_move_iterator(newestFirst.rbegin()), std::make_move_iterator(newestFirst.rend()));
    return true;
}
