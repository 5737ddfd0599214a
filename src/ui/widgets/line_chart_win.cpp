#include "ui/widgets/line_chart_win.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "base/handles_win.h"
#include "ui/widgets/chart_scale.h"
#include "ui/widgets/dark_mode_win.h"

namespace {

constexpr wchar_t kClassName[] = L"WatchkeepLineChart";
// Margins at 96 DPI, scaled to the device.
constexpr int kLeft = 64, kTop = 18, kRight = 10, kBottom = 20;
constexpr COLORREF kLineColor = RGB(30, 110, 200), kLimitColor = RGB(220, 120, 0), kMarkerColor = RGB(200, 30, 30);
constexpr COLORREF kGridColor = RGB(200, 200, 200), kDarkGridColor = RGB(70, 70, 70);

// A chart window's state: its data, and the mouse's x while it is over the chart (-1 otherwise).
struct ChartState {
    ChartData data;
    int hoverX = -1;
};

ChartState* StateOf(HWND chart) {
    return reinterpret_cast<ChartState*>(GetWindowLongPtrW(chart, GWLP_USERDATA));
}

void OnMouseMove(HWND chart, int x) {
    if (StateOf(chart)->hoverX < 0) {
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, chart, 0};
        TrackMouseEvent(&track);
    }
    StateOf(chart)->hoverX = x;
    InvalidateRect(chart, nullptr, FALSE);
}

void Paint(HWND chart) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(chart, &paint);
    RECT client;
    GetClientRect(chart, &client);
    UniqueHdc memory(CreateCompatibleDC(dc));
    UniqueHBitmap bitmap(CreateCompatibleBitmap(dc, client.right, client.bottom));
    if (memory && bitmap && StateOf(chart) != nullptr) {
        ScopedSelectObject select(memory.get(), bitmap.get());
        DrawLineChart(memory.get(), client, StateOf(chart)->data, StateOf(chart)->hoverX);
        BitBlt(dc, 0, 0, client.right, client.bottom, memory.get(), 0, 0, SRCCOPY);
    }
    EndPaint(chart, &paint);
}

LRESULT CALLBACK ChartProc(HWND chart, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND: return 1;  // the paint covers everything: no flicker
    case WM_PAINT: Paint(chart); return 0;
    case WM_SIZE: InvalidateRect(chart, nullptr, FALSE); return 0;
    case WM_MOUSEMOVE: OnMouseMove(chart, static_cast<short>(LOWORD(lParam))); return 0;
    case WM_MOUSELEAVE:
        StateOf(chart)->hoverX = -1;
        InvalidateRect(chart, nullptr, FALSE);
        return 0;
    case WM_NCDESTROY: delete StateOf(chart); return 0;
    default: return DefWindowProcW(chart, message, wParam, lParam);
    }
}

void Line(HDC dc, int x0, int y0, int x1, int y1) {
    MoveToEx(dc, x0, y0, nullptr);
    LineTo(dc, x1, y1);
}

void Text(HDC dc, int x, int y, const std::wstring& text, UINT align) {
    SetTextAlign(dc, align);
    TextOutW(dc, x, y, text.c_str(), static_cast<int>(text.size()));
}

}  // namespace

HWND CreateLineChart(HWND parent, int id) {
    static const ATOM registered = [] {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = ChartProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.lpszClassName = kClassName;
        return RegisterClassW(&windowClass);
    }();
    if (registered == 0) {
        return nullptr;
    }
    HWND chart = CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (chart != nullptr) {
        SetWindowLongPtrW(chart, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new ChartState()));
    }
    return chart;
}

void SetLineChartData(HWND chart, ChartData data) {
    if (ChartState* state = StateOf(chart)) {
        state->data = std::move(data);
        InvalidateRect(chart, nullptr, FALSE);
    }
}

void DrawLineChart(HDC dc, const RECT& rect, const ChartData& data, int hoverX) {
    const bool dark = DarkMode().enabled && !IsHighContrast();
    UniqueHBrush background(CreateSolidBrush(dark ? kDarkBackgroundColor : GetSysColor(COLOR_WINDOW)));
    FillRect(dc, &rect, background.get());
    SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, dark ? kDarkTextColor : GetSysColor(COLOR_WINDOWTEXT));
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    const auto scaled = [dpi](int pixels) { return MulDiv(pixels, dpi, 96); };
    Text(dc, rect.left + scaled(kLeft), rect.top + 2, data.Title, TA_LEFT | TA_TOP);
    const RECT plot{rect.left + scaled(kLeft), rect.top + scaled(kTop), rect.right - scaled(kRight),
                    rect.bottom - scaled(kBottom)};
    if (plot.right - plot.left < 10 || plot.bottom - plot.top < 10) {
        return;
    }
    double maxValue = 0.0;
    for (const std::vector<double>* values : {&data.Values, &data.Limits}) {
        for (double value : *values) {
            maxValue = std::max(maxValue, value);
        }
    }
    const ValueScale scale = ChooseValueScale(maxValue, data.Bytes, static_cast<size_t>(std::max(2L, (plot.bottom - plot.top) / 24)));
    const double start = data.Times.empty() ? 0.0 : data.Times.front();
    const double end = data.Times.empty() ? 60.0 : std::max(data.Times.back(), start + 60.0);
    const auto x = [&](double time) {
        return plot.left + static_cast<int>((time - start) / (end - start) * (plot.right - plot.left));
    };
    const auto y = [&](double value) {
        return plot.bottom - static_cast<int>(value / scale.Top * (plot.bottom - plot.top));
    };
    UniqueHPen grid(CreatePen(PS_SOLID, 1, dark ? kDarkGridColor : kGridColor));
    {
        ScopedSelectObject pen(dc, grid.get());
        for (double tick : scale.Ticks) {
            Line(dc, plot.left, y(tick), plot.right, y(tick));
            Text(dc, plot.left - 4, y(tick) - 6, ValueTickText(scale, tick), TA_RIGHT | TA_TOP);
        }
        const size_t maxTimeTicks = static_cast<size_t>(std::max(2L, (plot.right - plot.left) / 60));
        for (double tick : ChooseTimeTicks(start, end, data.UtcOffsetSeconds, maxTimeTicks)) {
            Line(dc, x(tick), plot.top, x(tick), plot.bottom);
            Text(dc, x(tick), plot.bottom + 3, TimeTickText(tick, data.UtcOffsetSeconds), TA_CENTER | TA_TOP);
        }
    }
    UniqueHPen limit(CreatePen(PS_DASH, 1, kLimitColor));
    {
        ScopedSelectObject pen(dc, limit.get());
        for (double value : data.Limits) {
            Line(dc, plot.left, y(value), plot.right, y(value));
        }
    }
    // Lines two pixels thick are drawn as two one-pixel lines: a wide pen costs a hundred times more
    // under Wine's GDI.
    UniqueHPen marker(CreatePen(PS_SOLID, 1, kMarkerColor));
    {
        ScopedSelectObject pen(dc, marker.get());
        for (double time : data.Markers) {
            if (time >= start && time <= end) {
                Line(dc, x(time), plot.top, x(time), plot.bottom);
                Line(dc, x(time) + 1, plot.top, x(time) + 1, plot.bottom);
            }
        }
    }
    std::vector<POINT> points;
    for (size_t i : ThinPoints(data.Values, static_cast<size_t>(plot.right - plot.left))) {
        points.push_back(POINT{x(data.Times[i]), y(data.Values[i])});
    }
    UniqueHPen line(CreatePen(PS_SOLID, 1, kLineColor));
    ScopedSelectObject pen(dc, line.get());
    if (points.size() == 1) {
        Ellipse(dc, points[0].x - 2, points[0].y - 2, points[0].x + 3, points[0].y + 3);
    }
    Polyline(dc, points.data(), static_cast<int>(points.size()));
    for (POINT& point : points) {
        --point.y;
    }
    Polyline(dc, points.data(), static_cast<int>(points.size()));
    // The point nearest the mouse, its time and value at the top right of the plot.
    if (hoverX >= plot.left && hoverX <= plot.right && !data.Times.empty()) {
        size_t nearest = 0;
        for (size_t i = 1; i < data.Times.size(); ++i) {
            nearest = std::abs(x(data.Times[i]) - hoverX) < std::abs(x(data.Times[nearest]) - hoverX) ? i : nearest;
        }
        const std::wstring label = TimeTickText(data.Times[nearest], data.UtcOffsetSeconds) + L"  " +
                                   ValueTickText(scale, data.Values[nearest]);
        Line(dc, x(data.Times[nearest]), plot.top, x(data.Times[nearest]), plot.bottom);
        Text(dc, plot.right - 4, rect.top + 2, label, TA_RIGHT | TA_TOP);
    }
}
