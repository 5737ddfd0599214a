#include "settings/exclusion_text.h"

#include <cwctype>

std::wstring JoinExclusionText(const ExclusionList& exclusions) {
    std::wstring text;
    for (size_t i = 0; i < exclusions.size(); ++i) {
        text += (i > 0 ? L"\r\n" : L"") + exclusions[i];
    }
    return text;
}

ExclusionList ParseExclusionText(std::wstring_view text) {
    ExclusionList patterns;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of(L"\r\n", start);
        if (end == std::wstring_view::npos) {
            end = text.size();
        }
        std::wstring_view piece = text.substr(start, end - start);
        while (!piece.empty() && std::iswspace(piece.front())) {
            piece.remove_prefix(1);
        }
        while (!piece.empty() && std::iswspace(piece.back())) {
            piece.remove_suffix(1);
        }
        if (!piece.empty()) {
            patterns.emplace_back(piece);
        }
        start = end + 1;
    }
    return patterns;
}
