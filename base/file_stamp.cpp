#include "base/file_stamp.h"

#include <windows.h>

#include "base/utf8_platform.h"

namespace {

uint64_t Join(DWORD high, DWORD low) { return static_cast<uint64_t>(high) << 32 | low; }

}  // namespace

bool ReadFileStamp(const char* path, FileStamp* stamp) {
  // Opened for its attributes only, shared with every other use of the file.
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  WideText wide;
  HANDLE file = INVALID_HANDLE_VALUE;
  if (wide.ConvertPath(path)) {
    file = CreateFileW(wide.text, FILE_READ_ATTRIBUTES, share, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  }
  if (file == INVALID_HANDLE_VALUE) {
    file = CreateFileA(path, FILE_READ_ATTRIBUTES, share, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  }
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION information;
  FILE_BASIC_INFO basic;
  bool known = GetFileInformationByHandle(file, &information) != 0;
  if (known) {
    stamp->size = static_cast<int64_t>(Join(information.nFileSizeHigh, information.nFileSizeLow));
    stamp->last_write = Join(information.ftLastWriteTime.dwHighDateTime, information.ftLastWriteTime.dwLowDateTime);
    stamp->identity = Join(information.nFileIndexHigh, information.nFileIndexLow) ^
                      static_cast<uint64_t>(information.dwVolumeSerialNumber) << 32;
    stamp->change_time = 0;
    if (GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic)) {
      stamp->change_time = static_cast<uint64_t>(basic.ChangeTime.QuadPart);
    }
  }
  CloseHandle(file);
  return known;
}
bool SameFileStamp(const FileStamp& a, const FileStamp& b) {
  return a.size == b.size && a.last_write == b.last_write && a.change_time == b.change_time &&
         a.identity == b.identity;
}
