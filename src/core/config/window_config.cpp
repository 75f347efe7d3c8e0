#include "core/config/window_config.h"

#include <cstring>

#include "core/config/record_file.h"

namespace quillon {

void WindowConfig::Load(const std::string& path) {
    *this = WindowConfig();
    unsigned char rec[kRecordSize];
    std::memset(rec, 0, sizeof rec);
    PutInt32LE(rec + 0, left);
    PutInt32LE(rec + 4, top);
    PutInt32LE(rec + 8, right);
    PutInt32LE(rec + 12, bottom);
    PutUtf8CString(rec + 16, kFolderSize, browseFolder);
    LoadRecordBytes(path, rec, sizeof rec);
    left = GetInt32LE(rec + 0);
    top = GetInt32LE(rec + 4);
    right = GetInt32LE(rec + 8);
    bottom = GetInt32LE(rec + 12);
    browseFolder = GetCString(rec + 16, kFolderSize);
}

bool WindowConfig::Save(const std::string& path) const {
    unsigned char rec[kRecordSize];
    std::memset(rec, 0, sizeof rec);
    PutInt32LE(rec + 0, left);
    PutInt32LE(rec + 4, top);
    PutInt32LE(rec + 8, right);
    PutInt32LE(rec + 12, bottom);
    PutUtf8CString(rec + 16, kFolderSize, browseFolder);
    return SaveRecordBytes(path, rec, sizeof rec);
}

WindowConfig& ProgramWindowConfig() {
    static WindowConfig instance;
    return instance;
}

}  // namespace quillon
