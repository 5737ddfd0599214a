#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "alerts/alert_log.h"
#include "alerts/temp_file.h"
#include "app/file_io.h"
#include "support/alert_log_reference.h"

namespace {

AlertRecord MakeRecord(uint32_t pid, std::wstring process, std::wstring violation) {
    AlertRecord record;
    record.Time = {2024, 3, 0, 9, 7, 5, 1, 0};
    record.PID = pid;
    record.Process = std::move(process);
    record.Violation = std::move(violation);
    return record;
}

AlertRecord Parsed(std::wstring_view line) {
    AlertRecord record;
    record.Process = L"untouched";
    EXPECT_TRUE(ParseAlertLogLine(line, record)) << WideToUtf8(line);
    return record;
}

}  // namespace

TEST(AlertLog, LineFormatAndRoundTripThroughTheFile) {
    AlertRecord record = MakeRecord(4294967292u, L"caf\u00e9 \u4e2d.exe", L"Handles: 6000 > 5000; Threads: 9 > 8");
    record.Time.DayOfWeek = 6;
    record.Time.Milliseconds = 250;
    record.RuleId = 9;
    EXPECT_EQ(FormatAlertLogLine(record), "2024-03-09 07:05:01\t4294967292\tcaf\xC3\xA9 \xE4\xB8\xAD.exe\t"
                                          "Handles: 6000 > 5000; Threads: 9 > 8\r\n");

    TempFile log("alert_log_round_trip");
    const AlertRecord second = MakeRecord(8, L"b.exe", std::wstring(5000, L'x'));
    ASSERT_TRUE(AppendAlertLogLine(log.Path(), record));
    ASSERT_TRUE(AppendAlertLogLine(log.Path(), second));
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(log.Path(), bytes));
    EXPECT_EQ(bytes, FormatAlertLogLine(record) + FormatAlertLogLine(second));

    // What comes back: no day of week, milliseconds or rule; a violation longer than a piece
    // comes back cut (its remainder has too few fields to count as a record).
    std::vector<AlertRecord> records;
    ASSERT_TRUE(ReadAlertLogTail(log.Path(), 1000, records));
    record.Time.DayOfWeek = 0;
    record.Time.Milliseconds = 0;
    record.RuleId = 0;
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0], record);
    EXPECT_EQ(records[1].Violation, std::wstring(kAlertLogPieceChars - 28, L'x'));
}

TEST(AlertLog, ParsesFieldsAsWritten) {
    // An empty field stays empty instead of shifting the later fields.
    AlertRecord emptyProcess = Parsed(L"2024-01-02 03:04:05\t12\t\tHandles: 2 > 1\r\n");
    EXPECT_EQ(emptyProcess.Process, L"");
    EXPECT_EQ(emptyProcess.Violation, L"Handles: 2 > 1");
    EXPECT_EQ(emptyProcess.PID, 12u);
    EXPECT_EQ(emptyProcess.Time, (AlertTime{2024, 1, 0, 2, 3, 4, 5, 0}));

    AlertRecord emptyTime = Parsed(L"\t12\tp.exe\tv");
    EXPECT_EQ(emptyTime.Time, AlertTime{});
    EXPECT_EQ(emptyTime.PID, 12u);
    EXPECT_EQ(emptyTime.Process, L"p.exe");

    // Three fields: empty violation; text after a fourth tab is ignored; LF alone ends a line too.
    EXPECT_EQ(Parsed(L"2024-01-02 03:04:05\t1\tp.exe\n").Violation, L"");
    EXPECT_EQ(Parsed(L"2024-01-02 03:04:05\t1\tp.exe\tv\textra").Violation, L"v");

    // Nothing validates the time; a time that is not a number leaves every part 0, a partly
    // readable one keeps what was read.
    EXPECT_EQ(Parsed(L"2024-13-45 25:61:99\t1\tp\tv").Time, (AlertTime{2024, 13, 0, 45, 25, 61, 99, 0}));
    EXPECT_EQ(Parsed(L"yesterday\t1\tp\tv").Time, AlertTime{});
    EXPECT_EQ(Parsed(L"2024-05-xx 01:02:03\t1\tp\tv").Time, (AlertTime{2024, 5, 0, 0, 0, 0, 0, 0}));

    // PID: leading blanks and a sign allowed, digits up to the first other character.
    EXPECT_EQ(Parsed(L"t\t  42abc\tp").PID, 42u);
    EXPECT_EQ(Parsed(L"t\t-1\tp").PID, 4294967295u);
    EXPECT_EQ(Parsed(L"t\tnone\tp").PID, 0u);

    AlertRecord kept = MakeRecord(1, L"keep", L"me");
    for (const wchar_t* bad : {L"", L"\r\n", L"\n", L"2024-01-02 03:04:05\t12", L"only one field"}) {
        EXPECT_FALSE(ParseAlertLogLine(bad, kept)) << WideToUtf8(bad);
    }
    EXPECT_EQ(kept, MakeRecord(1, L"keep", L"me"));
}

TEST(AlertLog, CrLfAndLfBlankLinesAndBom) {
    TempFile log("alert_log_line_ends");
    ASSERT_TRUE(WriteFileBytes(log.Path(), "\xEF\xBB\xBF" "2024-01-01 00:00:01\t1\ta.exe\tone\r\n"
                                           "\r\n\n"
                                           "2024-01-01 00:00:02\t2\tb.exe\ttwo\n"
                                           "bad line\r\n"
                                           "2024-01-01 00:00:03\t3\tc.exe"));
    std::vector<AlertRecord> records;
    ASSERT_TRUE(ReadAlertLogTail(log.Path(), 1000, records));
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].Time.Year, 2024);  // the mark is not part of the first field
    EXPECT_EQ(records[0].Violation, L"one");
    EXPECT_EQ(records[1].Violation, L"two");
    EXPECT_EQ(records[2].Process, L"c.exe");
    EXPECT_EQ(records[2].Violation, L"");

    std::vector<AlertRecord> untouched(1);
    EXPECT_FALSE(ReadAlertLogTail(log.Path() + L".missing", 1000, untouched));
    EXPECT_EQ(untouched.size(), 1u);
}

// Reading backwards from the end gives exactly the newest records of a plain read of the whole
// file, whatever the block size: long lines in pieces, broken UTF-8, blank and short lines.
TEST(AlertLog, TailReadMatchesAFullRead) {
    std::mt19937 random(20240501);
    // Broken sequences never complete to a character beyond the BMP (the reference counts units).
    const std::vector<std::string> texts = {"Handles: 6000 > 5000", "caf\xC3\xA9", "\xE4\xB8\xAD\xE6\x96\x87",
                                            "\xFF\xFE", "\x80\x80\x80\x80\x80", "\xE4\xB8", "\xF0\x9F\x98!",
                                            "", "a\tb", "\r"};
    auto pick = [&](size_t count) { return static_cast<size_t>(random() % count); };
    auto filler = [&](size_t length) {
        std::string text;
        while (text.size() < length) text += texts[pick(texts.size())] + std::string(pick(9), 'x');
        return text;
    };
    std::string bytes = pick(2) ? "\xEF\xBB\xBF" : "";
    for (int line = 0; line < 3000; ++line) {
        const size_t kind = pick(40);
        if (kind == 0) {
            // Around and far beyond the piece length, and once beyond a whole read block.
            const size_t lengths[] = {2046, 2047, 2048, 4094, 6000, 70000};
            bytes += "2024-01-01 00:00:00\t7\tlong.exe\t" + filler(lengths[pick(std::size(lengths))]);
        } else if (kind == 1) {
            bytes += pick(2) ? "" : "\t\t";
        } else {
            bytes += "2024-02-" + std::to_string(pick(31)) + " 10:11:12\t" + std::to_string(line) + "\t" +
                     filler(pick(20)) + "\t" + filler(pick(60));
        }
        bytes += pick(2) ? "\r\n" : "\n";
    }
    bytes += "2024-01-01 00:00:00\t1\tlast.exe\tno line end";
    const std::vector<AlertRecord> reference = ReadAlertLogReference(bytes);
    ASSERT_GT(reference.size(), 2500u);

    TempFile log("alert_log_tail");
    ASSERT_TRUE(WriteFileBytes(log.Path(), bytes));
    for (const size_t blockBytes : {size_t{7}, size_t{1000}, kAlertLogBlockBytes}) {
        for (const size_t maxRecords : {size_t{1}, size_t{1000}, size_t{100000}}) {
            std::vector<AlertRecord> records;
            ASSERT_TRUE(ReadAlertLogTail(log.Path(), maxRecords, records, blockBytes));
            const size_t expected = std::min(maxRecords, reference.size());
            ASSERT_EQ(records.size(), expected) << blockBytes << " " << maxRecords;
            EXPECT_TRUE(std::equal(records.begin(), records.end(), reference.end() - static_cast<std::ptrdiff_t>(expected)))
                << blockBytes << " " << maxRecords;
        }
    }
}

// A single line larger than any read block, ending the file: read forwards in blocks whose edges
// fall inside multi-byte and broken sequences.
TEST(AlertLog, TailReadOfAHugeLastLine) {
    std::string bytes = "2024-01-01 00:00:00\t1\tfirst.exe\tv\r\n2024-01-01 00:00:00\t2\thuge.exe\t";
    while (bytes.size() < 300000) bytes += "\xE4\xB8\xAD\x80\x80\x80\x80\xC3\xA9\tx\xF0\x9F\x98y";
    bytes += "\r\n";
    const std::vector<AlertRecord> reference = ReadAlertLogReference(bytes);
    TempFile log("alert_log_huge_line");
    ASSERT_TRUE(WriteFileBytes(log.Path(), bytes));
    for (const size_t blockBytes : {size_t{5}, size_t{4099}, kAlertLogBlockBytes}) {
        std::vector<AlertRecord> records;
        ASSERT_TRUE(ReadAlertLogTail(log.Path(), 100000, records, blockBytes));
        EXPECT_EQ(records, reference) << blockBytes;
    }
}
