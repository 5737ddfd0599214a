#include "ui/widgets/file_pickers_win.h"

#include <commdlg.h>

#include "base/resource_strings_win.h"

namespace {

bool Pick(HWND owner, UINT filterStringId, const wchar_t* defaultExtension, DWORD flags, bool save,
          std::wstring& path) {
    const std::wstring filter = LoadFilterString(filterStringId);
    wchar_t file[MAX_PATH] = {};
    path.copy(file, MAX_PATH - 1);
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = file;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrDefExt = defaultExtension;
    dialog.Flags = flags | OFN_NOCHANGEDIR;
    if (!(save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog))) {
        return false;
    }
    path = file;
    return true;
}

}  // namespace

bool PickFileToOpen(HWND owner, UINT filterStringId, std::wstring& path) {
    return Pick(owner, filterStringId, nullptr, OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST, false, path);
}

bool PickFileToSave(HWND owner, UINT filterStringId, const wchar_t* defaultExtension, std::wstring& path,
                    ExistingFile existing) {
    return Pick(owner, filterStringId, defaultExtension,
                existing == ExistingFile::AskBeforeReplacing ? OFN_OVERWRITEPROMPT : 0, true, path);
}
