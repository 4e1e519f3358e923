// A route file dropped on the window opens as the open command would.
#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

#include "mainwindow.h"
#include "routes/cp1251.h"

namespace {

// The one local file of the drag when it is a route list, route group or table; "" else.
QString DroppedFile(const QMimeData* mime) {
  if (mime == nullptr || !mime->hasUrls()) return QString();
  const QList<QUrl> urls = mime->urls();
  if (urls.size() != 1 || !urls.front().isLocalFile()) return QString();
  const QString path = urls.front().toLocalFile();
  const QString suffix = QFileInfo(path).suffix().toLower();
  for (const char* kind : {"mrp", "mrg", "csv", "tsv"}) {
    if (suffix == QLatin1String(kind)) return path;
  }
  return QString();
}

}  // namespace

void TVelmoraF::dragEnterEvent(QDragEnterEvent* event) { dragMoveEvent(event); }

void TVelmoraF::dragMoveEvent(QDragMoveEvent* event) {
  // The firmware panel has no route list to open into.
  if (!DroppedFile(event->mimeData()).isEmpty() && !pnBoot->isVisible()) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void TVelmoraF::dropEvent(QDropEvent* event) {
  const QString path = DroppedFile(event->mimeData());
  if (path.isEmpty() || !aOpen->isEnabled()) {
    event->ignore();
    if (!path.isEmpty() && table_.Modified()) {
      ShowStatus(velmora::kPanelStatus, velmora::Cp("Сначала сохраните или отмените изменения"));
    }
    return;
  }
  event->acceptProposedAction();
  files_->OpenChosen(QFileInfo(path).absoluteFilePath().toStdString());
}
