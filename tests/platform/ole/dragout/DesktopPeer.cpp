// Another program on the desktop: a plain toolkit window. Without arguments it accepts dropped
// files and prints their paths; with file names it drags them (as file URLs) once the left button
// is held and moved. Used by run.sh under a virtual display.

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <cstdio>

class Peer : public QWidget {
public:
  explicit Peer(QList<QUrl> files) : FFiles(std::move(files)) {
    setAcceptDrops(FFiles.isEmpty());
    setWindowTitle("desktop peer");
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
  void mousePressEvent(QMouseEvent* e) override { FDown = e->position().toPoint(); }
  void mouseMoveEvent(QMouseEvent* e) override {
    if (FFiles.isEmpty() || !(e->buttons() & Qt::LeftButton) || (e->position().toPoint() - FDown).manhattanLength() < 8)
      return;
    auto* mime = new QMimeData();
    mime->setUrls(FFiles);
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    Qt::DropAction a = drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::CopyAction);
    std::printf("DRAGGED action=%d\n", static_cast<int>(a));
    std::fflush(stdout);
    QTimer::singleShot(3000, qApp, &QApplication::quit);
  }

private:
  QList<QUrl> FFiles;
  QPoint FDown;
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QList<QUrl> files;
  for (int i = 1; i < argc; ++i) files << QUrl::fromLocalFile(QString::fromLocal8Bit(argv[i]));
  Peer p(files);
  p.setGeometry(400, 0, 300, 300);
  p.show();
  return app.exec();
}
