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

std::u16string WriteFailureReason(DbFailure failure) {
  switch (failure) {
    case DbFailure::FileMoved:
      return u"数据库文件已被删除、改名或移走。请把它改回原名、放回原处后再试，疾书精灵会接着使用它；"
             u"如果是从备份复制回来的，请退出并重新启动疾书精灵。";
    case DbFailure::Locked:
      return u"数据库正被其他程序占用。请稍后再试。";
    case DbFailure::ReadOnly:
      return u"数据库不能写入：数据库文件是只读的，或者它所在的文件夹不能写入。"
             u"请去掉只读属性，或把疾书精灵放到可以写入的文件夹。";
    case DbFailure::WriteDenied:
      return u"数据库服务器不允许写入：数据库是只读的，或者这个用户没有写入的权限。请联系数据库管理员。";
    case DbFailure::DiskFull:
      return u"磁盘已满，数据库不能写入。请腾出磁盘空间后再试。";
    case DbFailure::IoError:
      return u"读写数据库文件时出错（磁盘满了、只读或者不能访问）。";
    case DbFailure::Damaged:
      return u"数据库文件已损坏或不是数据库文件。";
    case DbFailure::Unreachable:
      return u"连不上数据库服务器，或者与它的连接断开了。请检查网络和服务器后再试。";
    case DbFailure::LoginRefused:
      return u"数据库服务器拒绝了登录：用户名或密码不对。请检查 kwo.ini 中的连接字符串。";
    case DbFailure::DatabaseMissing:
      return u"数据库服务器上没有连接字符串指定的数据库。请检查 kwo.ini 中的连接字符串。";
    case DbFailure::Other:
      break;
  }
  return {};
}

std::u16string FailureDetail(DbFailure failure, const std::u16string& description) {
  std::u16string reason;
  switch (failure) {
    case DbFailure::Damaged: reason = u"文件不是数据库，或已损坏"; break;
    case DbFailure::Locked: reason = u"数据库正被其他程序占用"; break;
    case DbFailure::ReadOnly: reason = u"文件或它所在的文件夹不能写入"; break;
    case DbFailure::WriteDenied: reason = u"服务器不允许写入"; break;
    case DbFailure::DiskFull: reason = u"磁盘已满"; break;
    case DbFailure::FileMoved: reason = u"文件已被删除、改名或移走"; break;
    case DbFailure::IoError: reason = u"读写文件时出错"; break;
    case DbFailure::Unreachable: reason = u"连不上数据库服务器"; break;
    case DbFailure::LoginRefused: reason = u"数据库服务器拒绝了登录"; break;
    case DbFailure::DatabaseMissing: reason = u"数据库服务器上没有这个数据库"; break;
    case DbFailure::Other: return description;
  }
  return description.empty() ? reason : reason + u"（" + description + u"）";
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
