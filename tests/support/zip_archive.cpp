#include "tests/support/zip_archive.h"

#include <zlib.h>

#include <cstdint>

#include "tests/support/win_test_support.h"

namespace {

uint32_t Read16(const std::string& s, size_t at) {
  return static_cast<uint8_t>(s[at]) | static_cast<uint8_t>(s[at + 1]) << 8;
}

uint32_t Read32(const std::string& s, size_t at) {
  return Read16(s, at) | Read16(s, at + 2) << 16;
}

bool Inflate(const std::string& packed, size_t size, std::string* out) {
  out->assign(size, '\0');
  z_stream z = {};
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return false;  // raw deflate, no header
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
  z.avail_in = static_cast<uInt>(packed.size());
  z.next_out = reinterpret_cast<Bytef*>(&(*out)[0]);
  z.avail_out = static_cast<uInt>(size);
  int result = inflate(&z, Z_FINISH);
  inflateEnd(&z);
  return result == Z_STREAM_END && z.total_out == size;
}

bool SafeName(const std::string& name) {
  if (name.empty() || name[0] == '/' || name[0] == '\\' || name.find(':') != std::string::npos)
    return false;
  return name.find("..") == std::string::npos;
}

}  // namespace

bool ExtractZip(const std::string& zip_path, const std::string& folder,
                std::vector<std::string>* names) {
  std::string zip;
  if (!ReadFileBytes(zip_path, &zip) || zip.size() < 22) return false;
  // The end-of-central-directory record: the last "PK\5\6" within its reach.
  size_t end = std::string::npos;
  for (size_t at = zip.size() - 22 + 1; at-- > 0 && zip.size() - at <= 22 + 65535;) {
    if (Read32(zip, at) == 0x06054b50) {
      end = at;
      break;
    }
  }
  if (end == std::string::npos) return false;
  size_t count = Read16(zip, end + 10);
  size_t at = Read32(zip, end + 16);
  for (size_t i = 0; i < count; ++i) {
    if (at + 46 > zip.size() || Read32(zip, at) != 0x02014b50) return false;
    uint32_t method = Read16(zip, at + 10);
    uint32_t crc = Read32(zip, at + 16);
    size_t packed_size = Read32(zip, at + 20);
    size_t size = Read32(zip, at + 24);
    size_t name_size = Read16(zip, at + 28);
    size_t header_at = Read32(zip, at + 42);
    if (at + 46 + name_size > zip.size()) return false;
    std::string name = zip.substr(at + 46, name_size);
    at += 46 + name_size + Read16(zip, at + 30) + Read16(zip, at + 32);
    if (!SafeName(name)) return false;
    names->push_back(name);

    std::string path = folder + name;
    for (char& c : path) {
      if (c == '/') c = '\\';
    }
    if (path.back() == '\\') {
      CreateFolder(path);
      continue;
    }
    if (header_at + 30 > zip.size() || Read32(zip, header_at) != 0x04034b50) return false;
    size_t data_at = header_at + 30 + Read16(zip, header_at + 26) + Read16(zip, header_at + 28);
    if (data_at + packed_size > zip.size()) return false;
    std::string packed = zip.substr(data_at, packed_size);
    std::string data;
    if (method == 0 && packed_size == size) {
      data = packed;
    } else if (method != 8 || !Inflate(packed, size, &data)) {
      return false;
    }
    if (crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())) != crc)
      return false;
    // The archive may list a file before its folder.
    for (size_t slash = path.find('\\', folder.size()); slash != std::string::npos;
         slash = path.find('\\', slash + 1)) {
      CreateFolder(path.substr(0, slash));
    }
    if (!WriteFileBytes(path, data)) return false;
  }
  return true;
}
