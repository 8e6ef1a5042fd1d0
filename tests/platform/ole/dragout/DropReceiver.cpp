// Another program on the desktop: a plain toolkit window that accepts dropped files and prints
// their paths. Used by run.sh under a virtual display.

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <cstdio>

class Receiver : public QWidget {
public:
  Receiver() {
    setAcceptDrops(true);
    setWindowTitle("drop receiver");
  }

protected:
  void dragEnterEvent(QDragEnterEvent* e) override {
    if (e->mimeData()->hasUrls()) e->acceptProposedAction();
  }
  void dragMoveEvent(QDragMoveEvent* e) override { e->acceptProposedAction(); }
  void dropEvent(QDropEvent* e) override {
    for (const QUrl& u : e->mimeData()->urls()) std::printf("DROPPED %s\n", u.toLocalFile().toUtf8().constData());
    std::fflush(stdout);
    e->acceptProposedAction();
    QTimer::singleShot(200, qApp, &QApplication::quit);
  }
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  Receiver r;
  r.setGeometry(400, 0, 300, 300);
  r.show();
  std::printf("READY\n");
  std::fflush(stdout);
  return app.exec();
}
