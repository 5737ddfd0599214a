#include "base/utf8.h"

#include "base/utf16.h"

#include <cstdint>
#include <type_traits>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

}  // namespace

void AppendCodePoint(std::wstring& out, char32_t cp) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (cp >= 0x10000) {
            out.push_back(static_cast<wchar_t>(HighSurrogateOf(cp)));
            out.push_back(static_cast<wchar_t>(LowSurrogateOf(cp)));
            return;
        }
    }
    out.push_back(static_cast<wchar_t>(cp));
}

std::wstring Utf8ToWide(std::string_view utf8) {
    std::wstring out;
    out.reserve(utf8.size());
    const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
    const size_t size = utf8.size();
    size_t i = 0;
    while (i < size) {
        const unsigned char lead = bytes[i];
        if (lead < 0x80) {
            out.push_back(static_cast<wchar_t>(lead));
            ++i;
            continue;
        }
        size_t length = 0;
        char32_t cp = 0;
        // The first continuation byte's range rules out overlong forms, surrogates and > U+10FFFF.
        unsigned char low = 0x80, high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            cp = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            cp = lead & 0x0F;
            if (lead == 0xE0) {
                low = 0xA0;
            }
            if (lead == 0xED) {
                high = 0x9F;
            }
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            cp = lead & 0x07;
            if (lead == 0xF0) {
                low = 0x90;
            }
            if (lead == 0xF4) {
                high = 0x8F;
            }
        } else {
            AppendCodePoint(out, kReplacement);
            ++i;
            continue;
        }
        size_t consumed = 1;
        bool valid = true;
        for (; consumed < length; ++consumed) {
            if (i + consumed >= size) {
                valid = false;
                break;
            }
            const unsigned char next = bytes[i + consumed];
            const unsigned char min = consumed == 1 ? low : 0x80;
            const unsigned char max = consumed == 1 ? high : 0xBF;
            if (next < min || next > max) {
                valid = false;
                break;
            }
            cp = (cp << 6) | (next & 0x3F);
        }
        AppendCodePoint(out, valid ? cp : kReplacement);
        i += consumed;
    }
    return out;
}

std::string WideToUtf8(std::wstring_view wide) {
    std::string out;
    out.reserve(wide.size());
    for (size_t i = 0; i < wide.size(); ++i) {
        char32_t cp = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(wide[i]));
        if constexpr (sizeof(wchar_t) == 2) {
            if (IsHighSurrogate(cp) && i + 1 < wide.size()) {
                const char32_t next = static_cast<char32_t>(static_cast<uint16_t>(wide[i + 1]));
                if (IsLowSurrogate(next)) {
                    cp = CombineSurrogates(cp, next);
                    ++i;
                }
            }
        }
        if (IsSurrogate(cp) || cp > 0x10FFFF) {
            cp = kReplacement;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

std::wstring Utf16ToWide(std::u16string_view units) {
    std::wstring out;
    out.reserve(units.size());
    for (size_t i = 0; i < units.size(); ++i) {
        char32_t cp = units[i];
        if constexpr (sizeof(wchar_t) != 2) {
            if (IsHighSurrogate(cp) && i + 1 < units.size() && IsLowSurrogate(units[i + 1])) {
                cp = CombineSurrogates(cp, units[i + 1]);
                ++i;
            }
        }
        out.push_back(static_cast<wchar_t>(cp));
    }
    return out;
}

std::u16string WideToUtf16(std::wstring_view wide) {
    std::u16string out;
    out.reserve(wide.size());
    for (const wchar_t c : wide) {
        const auto cp = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(c));
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
            out.push_back(HighSurrogateOf(cp));
            out.push_back(LowSurrogateOf(cp));
        } else {
            out.push_back(static_cast<char16_t>(cp > 0x10FFFF ? kReplacement : cp));
        }
    }
    return out;
}

std::string_view SkipUtf8Bom(std::string_view bytes) {
    if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
        bytes.remove_prefix(kUtf8Bom.size());
    }
    return bytes;
}

std::wstring DecodeTextFile(std::string_view bytes) {
    const bool little = bytes.starts_with("\xFF\xFE");
    if (!little && !bytes.starts_with("\xFE\xFF")) {
        return Utf8ToWide(SkipUtf8Bom(bytes));
    }
    auto unitAt = [&](size_t i) {
        const auto first = static_cast<char32_t>(static_cast<unsigned char>(bytes[i]));
        const auto second = static_cast<char32_t>(static_cast<unsigned char>(bytes[i + 1]));
        return little ? first | second << 8 : first << 8 | second;
    };
    std::wstring text;
    text.reserve(bytes.size() / 2);
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        const char32_t unit = unitAt(i);
        if (IsHighSurrogate(unit) && i + 3 < bytes.size() && IsLowSurrogate(unitAt(i + 2))) {
            AppendCodePoint(text, CombineSurrogates(unit, unitAt(i + 2)));
            i += 2;
        } else {
            // A lone half becomes U+FFFD, as in UTF-8 text, so that both builds read the same.
            AppendCodePoint(text, IsSurrogate(unit) ? kReplacement : unit);
        }
    }
    if (bytes.size() % 2 != 0) {
        AppendCodePoint(text, kReplacement);
    }
    return text;
}
