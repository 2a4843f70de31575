#include "store/AdoErrors.h"

#include <cstdio>

#include "text/Utf.h"

namespace kwo::store {
namespace {

std::u16string MeaningOf(uint32_t code) {
  switch (code) {
    case kErrorPointer: return u"Invalid pointer";
    case kErrorFail: return u"Unspecified error";
    case kErrorNoCurrentRecord:
      return u"Either BOF or EOF is True, or the current record has been deleted.";
    case kErrorItemNotFound:
      return u"Item cannot be found in the collection corresponding to the requested name or ordinal.";
    case kErrorObjectClosed: return u"Operation is not allowed when the object is closed.";
    case kErrorNotUpdatable: return u"Current Recordset does not support updating.";
    default: break;
  }
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "Unknown error 0x%lX", static_cast<unsigned long>(code));
  return text::Ascii(buffer);
}

}  // namespace

bool IsLockedError(uint32_t code) {
  const uint32_t primary = code & 0xFF;
  return code <= 0xFFFF && (primary == 5 || primary == 6);  // SQLITE_BUSY, SQLITE_LOCKED
}

bool IsNotADatabaseError(uint32_t code) {
  const uint32_t primary = code & 0xFF;
  return code <= 0xFFFF && (primary == 26 || primary == 11);  // SQLITE_NOTADB, SQLITE_CORRUPT
}

DbError LayerError(uint32_t code, const std::u16string& source, const std::u16string& description) {
  DbError error;
  error.code = code;
  error.source = source;
  error.description = description;
  error.codeMeaning = MeaningOf(code);
  return error;
}

std::u16string FormatErrorBlock(const std::u16string& header, const DbError& error) {
  char code[16];
  std::snprintf(code, sizeof code, "%08lx", static_cast<unsigned long>(error.code));
  return header + u" Error\n\tCode = " + text::Ascii(code) + u"\n\tCode meaning = " + error.codeMeaning +
         u"\n\tSource = " + error.source + u"\n\tDescription = " + error.description + u"\n";
}

}  // namespace kwo::store
