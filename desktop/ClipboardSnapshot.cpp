#include "desktop/ClipboardSnapshot.h"

#include <climits>
#include <cstring>
#include <string>
#include <utility>

#include "base/KernelHandle.h"

namespace kwo::desktop {
namespace {

OwnedGlobal CopyGlobal(HGLOBAL source) {
  const SIZE_T size = GlobalSize(source);
  if (size == 0) return OwnedGlobal();
  OwnedGlobal copy(GlobalAlloc(GMEM_MOVEABLE, size));
  if (!copy) return copy;
  const void* from = GlobalLock(source);
  void* to = GlobalLock(copy.get());
  const bool copied = from != nullptr && to != nullptr;
  if (copied) std::memcpy(to, from, size);
  if (to != nullptr) GlobalUnlock(copy.get());
  if (from != nullptr) GlobalUnlock(source);
  return copied ? std::move(copy) : OwnedGlobal();
}

// A metafile picture: the block holds a metafile handle, copied as well.
OwnedGlobal CopyMetafilePicture(HGLOBAL source) {
  OwnedGlobal copy = CopyGlobal(source);
  if (!copy || GlobalSize(copy.get()) < sizeof(METAFILEPICT)) return OwnedGlobal();
  auto* picture = static_cast<METAFILEPICT*>(GlobalLock(copy.get()));
  if (picture == nullptr) return OwnedGlobal();
  picture->hMF = CopyMetaFileW(picture->hMF, nullptr);
  const bool copied = picture->hMF != nullptr;
  GlobalUnlock(copy.get());
  return copied ? std::move(copy) : OwnedGlobal();
}

HPALETTE CopyPalette(HPALETTE source) {
  WORD count = 0;
  if (GetObjectW(source, sizeof count, &count) == 0 || count == 0) return nullptr;
  std::vector<char> buffer(sizeof(LOGPALETTE) + count * sizeof(PALETTEENTRY));
  auto* palette = reinterpret_cast<LOGPALETTE*>(buffer.data());
  palette->palVersion = 0x300;
  palette->palNumEntries = count;
  if (GetPaletteEntries(source, 0, count, palette->palPalEntry) != count) return nullptr;
  return CreatePalette(palette);
}

// Formats the system makes from another one; restoring the first of each
// family lets it make the others again.
int SynthesisFamily(UINT format) {
  switch (format) {
    case CF_TEXT:
    case CF_OEMTEXT:
    case CF_UNICODETEXT:
      return 1;
    case CF_BITMAP:
    case CF_DIB:
    case CF_DIBV5:
      return 2;
    case CF_ENHMETAFILE:
    case CF_METAFILEPICT:
      return 3;
    default:
      return 0;
  }
}

// A copy of the clipboard's data in this format, or none for data that
// cannot outlive its owner (owner display, private and GDI-object formats).
OwnedClipboardData CopyFormat(UINT format) {
  if (format == CF_OWNERDISPLAY || format == CF_DSPBITMAP || format == CF_DSPMETAFILEPICT ||
      format == CF_DSPENHMETAFILE || (format >= CF_PRIVATEFIRST && format <= CF_PRIVATELAST) ||
      (format >= CF_GDIOBJFIRST && format <= CF_GDIOBJLAST)) {
    return OwnedClipboardData();
  }
  const HANDLE data = GetClipboardData(format);
  if (data == nullptr) return OwnedClipboardData();
  HANDLE copy = nullptr;
  switch (format) {
    case CF_BITMAP:
      copy = CopyImage(data, IMAGE_BITMAP, 0, 0, 0);
      break;
    case CF_PALETTE:
      copy = CopyPalette(static_cast<HPALETTE>(data));
      break;
    case CF_ENHMETAFILE:
      copy = CopyEnhMetaFileW(static_cast<HENHMETAFILE>(data), nullptr);
      break;
    case CF_METAFILEPICT:
      copy = CopyMetafilePicture(data).release();
      break;
    default:
      copy = CopyGlobal(data).release();
      break;
  }
  return OwnedClipboardData(copy != nullptr ? ClipboardData{format, copy} : ClipboardData{});
}

}  // namespace

void ClipboardDataTraits::Release(ClipboardData data) {
  switch (data.format) {
    case CF_BITMAP:
    case CF_PALETTE:
      DeleteObject(data.data);
      break;
    case CF_ENHMETAFILE:
      DeleteEnhMetaFile(static_cast<HENHMETAFILE>(data.data));
      break;
    case CF_METAFILEPICT:
      if (const auto* picture = static_cast<METAFILEPICT*>(GlobalLock(data.data))) {
        DeleteMetaFile(picture->hMF);
        GlobalUnlock(data.data);
      }
      GlobalFree(data.data);
      break;
    default:
      GlobalFree(data.data);
      break;
  }
}

bool TextOfClipboardData(UINT format, HANDLE data, std::u16string& text) {
  if (data == nullptr || (format != CF_UNICODETEXT && format != CF_TEXT && format != CF_OEMTEXT)) return false;
  const SIZE_T size = GlobalSize(data);
  const void* locked = GlobalLock(data);
  if (locked == nullptr) return false;
  bool found = true;
  if (format == CF_UNICODETEXT) {
    const auto* units = static_cast<const char16_t*>(locked);
    const size_t limit = size / sizeof(char16_t);
    size_t length = 0;
    while (length < limit && units[length] != 0) ++length;
    text.assign(units, length);
  } else {
    const auto* bytes = static_cast<const char*>(locked);
    int length = 0;
    while (static_cast<SIZE_T>(length) < size && bytes[length] != 0 && length < INT_MAX) ++length;
    const UINT codePage = format == CF_OEMTEXT ? CP_OEMCP : CP_ACP;
    const int wide = length > 0 ? MultiByteToWideChar(codePage, 0, bytes, length, nullptr, 0) : 0;
    std::wstring converted(static_cast<size_t>(wide), L'\0');
    if (wide > 0) MultiByteToWideChar(codePage, 0, bytes, length, &converted[0], wide);
    found = length == 0 || wide > 0;
    text.assign(converted.begin(), converted.end());
  }
  GlobalUnlock(data);
  return found;
}

bool ClipboardSnapshot::Text(std::u16string& text) const {
  for (const UINT format : {CF_UNICODETEXT, CF_TEXT, CF_OEMTEXT}) {
    for (const OwnedClipboardData& data : formats_) {
      if (data.get().format == format) return TextOfClipboardData(format, data.get().data, text);
    }
  }
  return false;
}

void ClipboardSnapshot::Take() {
  formats_.clear();
  bool familySaved[4] = {};
  for (UINT format = EnumClipboardFormats(0); format != 0; format = EnumClipboardFormats(format)) {
    const int family = SynthesisFamily(format);
    if (familySaved[family] && family != 0) continue;
    OwnedClipboardData copy = CopyFormat(format);
    if (!copy) continue;
    familySaved[family] = true;
    formats_.push_back(std::move(copy));
  }
}

void ClipboardSnapshot::PutBack() {
  std::vector<OwnedClipboardData> formats = std::move(formats_);
  formats_.clear();
  for (OwnedClipboardData& data : formats) {
    if (SetClipboardData(data.get().format, data.get().data) != nullptr) data.release();
  }
}

}  // namespace kwo::desktop
