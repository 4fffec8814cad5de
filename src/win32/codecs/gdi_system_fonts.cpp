// The font seam on Windows: the platform's font mapper picks the font of a family and
// style, and hands over its file as the system keeps it (GetFontData).
#include <windows.h>

#include <cwchar>

#include "movie/codec/system_fonts.h"

namespace orv::movie::codec {

namespace {

std::wstring widen(const std::string& s) {
  if (s.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring out(size_t(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), out.data(), n);
  return out;
}

// The table tag GetFontData takes for a whole collection file.
constexpr DWORD kCollectionTag = DWORD('t') | DWORD('t') << 8 | DWORD('c') << 16 | DWORD('f') << 24;

}  // namespace

std::vector<uint8_t> systemFontData(const std::string& family, bool bold, bool italic) {
  const std::wstring name = widen(family);
  if (name.empty() || name.size() >= LF_FACESIZE) return {};
  LOGFONTW wanted{};
  wanted.lfHeight = -64;
  wanted.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  wanted.lfItalic = italic ? TRUE : FALSE;
  wanted.lfCharSet = DEFAULT_CHARSET;
  wanted.lfOutPrecision = OUT_TT_ONLY_PRECIS;
  std::wcsncpy(wanted.lfFaceName, name.c_str(), LF_FACESIZE - 1);
  HFONT font = CreateFontIndirectW(&wanted);
  if (!font) return {};
  std::vector<uint8_t> data;
  if (HDC dc = CreateCompatibleDC(nullptr)) {
    HGDIOBJ before = SelectObject(dc, font);
    wchar_t face[LF_FACESIZE] = {};
    // The mapper answers every request with some font: only that family will do.
    if (GetTextFaceW(dc, LF_FACESIZE, face) > 0 && _wcsicmp(face, name.c_str()) == 0) {
      DWORD table = kCollectionTag;
      DWORD size = GetFontData(dc, table, 0, nullptr, 0);
      if (size == GDI_ERROR) {
        table = 0;
        size = GetFontData(dc, table, 0, nullptr, 0);
      }
      if (size != GDI_ERROR && size > 0 && size <= kMaxFontFileBytes) {
        data.resize(size);
        if (GetFontData(dc, table, 0, data.data(), size) != size) data.clear();
      }
    }
    SelectObject(dc, before);
    DeleteDC(dc);
  }
  DeleteObject(font);
  return data;
}

}  // namespace orv::movie::codec
