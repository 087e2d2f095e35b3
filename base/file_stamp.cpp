#include "base/file_stamp.h"

#include <windows.h>

#include "base/content_check.h"
#include "base/utf8_platform.h"

namespace {

bool g_volumes_as_fat = false;

uint64_t Join(DWORD high, DWORD low) { return static_cast<uint64_t>(high) << 32 | low; }

HANDLE OpenShared(const char* path, DWORD access) {
  // Shared with every other use of the file, so that the look disturbs none.
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  WideText wide;
  HANDLE file = INVALID_HANDLE_VALUE;
  if (wide.ConvertPath(path)) {
    file = CreateFileW(wide.text, access, share, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  }
  if (file == INVALID_HANDLE_VALUE) {
    file = CreateFileA(path, access, share, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  }
  return file;
}

// Asked once per volume: the question costs as much as the rest of the
// stamp (Wine reads its mount table for it).
struct VolumeKind {
  DWORD serial;
  bool fat;
};
VolumeKind g_volumes[8];
int g_volume_count = 0;

// FAT12/16 name themselves "FAT".
bool OnFatVolume(HANDLE file, DWORD serial) {
  if (g_volumes_as_fat) return true;
  for (int i = 0; i < g_volume_count; ++i) {
    if (g_volumes[i].serial == serial) return g_volumes[i].fat;
  }
  // A volume that does not tell its file system is judged by its change
  // time alone.
  wchar_t name[MAX_PATH + 1];
  bool fat = GetVolumeInformationByHandleW(file, nullptr, 0, nullptr, nullptr, nullptr, name, MAX_PATH + 1) &&
             (lstrcmpiW(name, L"FAT") == 0 || lstrcmpiW(name, L"FAT32") == 0 || lstrcmpiW(name, L"exFAT") == 0);
  const int capacity = sizeof g_volumes / sizeof g_volumes[0];
  g_volumes[g_volume_count < capacity ? g_volume_count++ : serial % capacity] = VolumeKind{serial, fat};
  return fat;
}

bool ReadAt(void* source, int64_t offset, void* into, size_t bytes) {
  OVERLAPPED at = {};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(offset) >> 32);
  DWORD read = 0;
  return ReadFile(static_cast<HANDLE>(source), into, static_cast<DWORD>(bytes), &read, &at) && read == bytes;
}

}  // namespace

void TreatVolumesAsFat(bool on) { g_volumes_as_fat = on; }

bool ReadFileStamp(const char* path, FileStamp* stamp) {
  HANDLE file = OpenShared(path, FILE_READ_ATTRIBUTES);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION information;
  FILE_BASIC_INFO basic;
  bool known = GetFileInformationByHandle(file, &information) != 0;
  bool fat = false;
  if (known) {
    stamp->size = static_cast<int64_t>(Join(information.nFileSizeHigh, information.nFileSizeLow));
    stamp->last_write = Join(information.ftLastWriteTime.dwHighDateTime, information.ftLastWriteTime.dwLowDateTime);
    stamp->identity = Join(information.nFileIndexHigh, information.nFileIndexLow) ^
                      static_cast<uint64_t>(information.dwVolumeSerialNumber) << 32;
    stamp->change_time = 0;
    stamp->content = 0;
    if (GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic)) {
      stamp->change_time = static_cast<uint64_t>(basic.ChangeTime.QuadPart);
    }
    fat = OnFatVolume(file, information.dwVolumeSerialNumber);
    if (fat) stamp->change_time = 0;
  }
  CloseHandle(file);
  // Only where size and times can pass a rewritten file for the old one is
  // the file read: elsewhere the stamp costs no read.
  if (known && (fat || stamp->change_time == 0)) {
    HANDLE content = OpenShared(path, GENERIC_READ);
    if (content == INVALID_HANDLE_VALUE) return false;
    known = ChecksumFileEnds(stamp->size, ReadAt, content, &stamp->content);
    CloseHandle(content);
  }
  return known;
}

bool SameFileStamp(const FileStamp& a, const FileStamp& b) {
  return a.size == b.size && a.last_write == b.last_write && a.change_time == b.change_time &&
         a.identity == b.identity && a.content == b.content;
}
