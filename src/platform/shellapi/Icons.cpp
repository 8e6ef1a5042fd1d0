// The icons of the system image lists, drawn from the desktop's icon theme. Without a theme of the
// platform's own (the offscreen platform has none) the installed Adwaita or hicolor theme is used;
// a name no theme knows gets the generic file icon.

#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QStringList>
#include <QThread>

#include <cstdlib>
#include <filesystem>

#include "platform/shellapi/ShellApi_p.h"

namespace pf::shellapi {

HBITMAP ThemeIconBitmap(const std::string& iconName, int size) {
  QImage img(size, size, QImage::Format_ARGB32);
  img.fill(Qt::transparent);
  // Pixmaps need the toolkit's application object and its thread; elsewhere the picture stays empty.
  QCoreApplication* app = QCoreApplication::instance();
  if (qobject_cast<QGuiApplication*>(app) && QThread::currentThread() == app->thread()) {
    if (QIcon::themeName().isEmpty()) {
      // The icon folders of the base directories, in the order the icon theme standard gives.
      QStringList paths = QIcon::themeSearchPaths();
      QStringList dirs{QString::fromStdString(JoinPath(DataHome(), "icons")),
                       QString::fromStdString(JoinPath(HomeDir(), ".icons"))};
      const char* dataDirs = std::getenv("XDG_DATA_DIRS");
      for (const QString& d : QString::fromLocal8Bit(dataDirs && *dataDirs ? dataDirs : "/usr/local/share:/usr/share")
                                  .split(u':', Qt::SkipEmptyParts))
        dirs << d + QStringLiteral("/icons");
      for (const QString& d : dirs)
        if (!paths.contains(d)) paths << d;
      QIcon::setThemeSearchPaths(paths);
      bool adwaita = std::filesystem::is_directory("/usr/share/icons/Adwaita");
      QIcon::setThemeName(adwaita ? QStringLiteral("Adwaita") : QStringLiteral("hicolor"));
    }
    QIcon icon = QIcon::fromTheme(QString::fromStdString(iconName),
                                  QIcon::fromTheme(QStringLiteral("application-x-generic")));
    if (!icon.isNull()) {
      QImage pic = icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
      if (!pic.isNull()) img = pic.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
  }
  return BitmapFromRows(img.width(), img.height(), [&](int y) { return img.constScanLine(y); });
}

}  // namespace pf::shellapi
