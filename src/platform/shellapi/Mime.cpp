// Type names and icon names from the shared MIME database.

#include <QMimeDatabase>
#include <QMimeType>
#include <QString>

#include "platform/rtl/SysUtils.h"
#include "platform/shellapi/ShellApi_p.h"

namespace pf::shellapi {

namespace {

QString QtPath(const std::string& nativePath) {
  // The database matches names; bytes that are not UTF-8 only lose their type, never their file.
  return QString::fromLocal8Bit(nativePath.data(), static_cast<qsizetype>(nativePath.size()));
}

QMimeType TypeOf(const std::string& nativePath, bool isDirectory) {
  QMimeDatabase db;
  if (isDirectory) return db.mimeTypeForName(QStringLiteral("inode/directory"));
  return db.mimeTypeForFile(QtPath(nativePath), QMimeDatabase::MatchExtension);
}

}  // namespace

String MimeTypeComment(const std::string& nativePath, bool isDirectory) {
  QMimeType t = TypeOf(nativePath, isDirectory);
  // The default type has no name worth showing: the caller then names the type by its extension.
  if (!t.isValid() || t.isDefault()) return String();
  QString c = t.comment();
  return String(reinterpret_cast<const Char*>(c.utf16()), static_cast<size_t>(c.size()));
}

std::string MimeIconName(const std::string& nativePath, bool isDirectory) {
  QMimeType t = TypeOf(nativePath, isDirectory);
  if (!t.isValid() || t.isDefault()) return "application-x-generic";
  QString name = t.iconName();
  if (name.isEmpty()) name = t.genericIconName();
  return name.isEmpty() ? std::string("application-x-generic") : name.toStdString();
}

}  // namespace pf::shellapi
