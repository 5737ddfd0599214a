#include "base/resource_format.h"

std::wstring FillPlaceholder(std::wstring_view format, std::wstring_view value) {
    std::wstring text;
    text.reserve(format.size() + value.size());
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == L'%' && i + 1 < format.size() && (format[i + 1] == L's' || format[i + 1] == L'%')) {
            if (format[i + 1] == L's') {
                text += value;
            } else {
                text += L'%';
            }
            ++i;
        } else {
            text += format[i];
        }
    }
    return text;
}
