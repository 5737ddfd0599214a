// The processes page's refresh with 300 processes (sort, filter, item count and the repaint of the
// visible rows of a real virtual list) against the repaint alone, and the drawing of a 720-point
// history chart against a bare polyline of the same points.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "base/handles_win.h"
#include "ui/process_table.h"
#include "ui/widgets/line_chart_win.h"

namespace {

std::vector<ProcessSample> samples;
std::vector<size_t> rows;
std::wstring cell;

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->code == LVN_GETDISPINFOW) {
        auto& item = reinterpret_cast<NMLVDISPINFOW*>(lParam)->item;
        cell = ProcessCellText(samples[rows[static_cast<size_t>(item.iItem)]], item.iSubItem);
        lstrcpynW(item.pszText, cell.c_str(), item.cchTextMax);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

double MeanMicros(int rounds, const std::function<void()>& run) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    for (int i = 0; i < rounds; ++i) {
        run();
    }
    QueryPerformanceCounter(&end);
    return static_cast<double>(end.QuadPart - start.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart) / rounds;
}

void PrintPair(const char* ours, double oursMicros, const char* reference, double referenceMicros) {
    std::printf("%-40s %10.1f us\n%-40s %10.1f us\nratio %34.2f\n\n", ours, oursMicros, reference, referenceMicros,
                oursMicros / referenceMicros);
}

}  // namespace

int main() {
    for (uint32_t i = 0; i < 300; ++i) {
        samples.push_back(ProcessSample{.ProcessId = 8 + 4 * i,
                                        .ExeName = L"process" + std::to_wstring(i % 97) + L".exe",
                                        .WorkingSetBytes = (i * 7919ull % 1000) << 20,
                                        .HandleCount = i * 31 % 700,
                                        .ThreadCount = i % 40});
    }
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSW hostClass{};
    hostClass.lpfnWndProc = HostProc;
    hostClass.lpszClassName = L"BenchHost";
    RegisterClassW(&hostClass);
    HWND host = CreateWindowExW(0, L"BenchHost", L"bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 900, 600, nullptr,
                                nullptr, nullptr, nullptr);
    // The page's list at 96 DPI: 452 by 80 dialog units.
    HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDATA, 0, 0, 678,
                                130, host, nullptr, nullptr, nullptr);
    if (list == nullptr) {
        std::printf("no list view (run inside a display)\n");
        return 1;
    }
    for (int column = 0; column < kProcessColumnCount; ++column) {
        LVCOLUMNW header{};
        header.mask = LVCF_WIDTH;
        header.cx = 90;
        SendMessageW(list, LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&header));
    }
    ProcessOrder order;
    rows = ProcessRows(samples, order, L"");
    SendMessageW(list, LVM_SETITEMCOUNT, rows.size(), 0);
    const auto repaint = [list] {
        InvalidateRect(list, nullptr, FALSE);
        UpdateWindow(list);
    };
    const double refresh = MeanMicros(200, [&] {
        order.Click(3);
        rows = ProcessRows(samples, order, L"process1");
        // As the page: a new count only when it changed (here once).
        if (static_cast<size_t>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)) != rows.size()) {
            SendMessageW(list, LVM_SETITEMCOUNT, rows.size(), LVSICF_NOSCROLL);
        }
        repaint();
    });
    const double bare = MeanMicros(200, repaint);
    PrintPair("page refresh, 300 processes", refresh, "repaint of the same list", bare);
    const double ordering = MeanMicros(200, [&] {
        order.Click(3);
        rows = ProcessRows(samples, order, L"process1");
    });
    const double count = MeanMicros(200, [&] { SendMessageW(list, LVM_SETITEMCOUNT, rows.size(), LVSICF_NOSCROLL); });
    std::printf("of which sort and filter %.1f us; a changed item count costs %.1f us more\n\n", ordering, count);

    ChartData data{.Title = L"Working Set", .Bytes = true};
    data.Limits = {2048.0 * 1048576};
    data.Markers = {4000.0};
    for (int i = 0; i < 720; ++i) {
        data.Times.push_back(1000.0 + 5 * i);
        data.Values.push_back((1000.0 + i * (i % 7)) * 1048576);
    }
    const RECT rect{0, 0, 800, 300};
    ScopedGetDC screen(nullptr);
    UniqueHdc memory(CreateCompatibleDC(screen.get()));
    UniqueHBitmap bitmap(CreateCompatibleBitmap(screen.get(), rect.right, rect.bottom));
    ScopedSelectObject select(memory.get(), bitmap.get());
    const double chart = MeanMicros(200, [&] { DrawLineChart(memory.get(), rect, data); });
    std::vector<POINT> points;
    for (int i = 0; i < 720; ++i) {
        points.push_back(POINT{i, static_cast<LONG>(data.Values[static_cast<size_t>(i)] / 1e7) % 300});
    }
    const double polyline = MeanMicros(200, [&] { Polyline(memory.get(), points.data(), 720); });
    PrintPair("history chart, 720 points", chart, "bare polyline of 720 points", polyline);
    DestroyWindow(host);
    return 0;
}
