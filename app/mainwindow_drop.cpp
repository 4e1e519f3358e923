// A route file dropped on the window opens as the open command would.
#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include "mainwindow.h"

namespace {

// The one local file of the drag when it is a route list, route group or table; "" else.
QString DroppedFile(const QMimeData* mime) {
  if (mime == nullptr || !mime->hasUrls()) return QString();
  const QList<QUrl> urls = mime->urls();
  if (urls.size() != 1 || !urls.front().isLocalFile()) return QString();
  const QString path = urls.front().toLocalFile();
  return velmora::IsRoutesFileName(path.toStdString()) ? path : QString();
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
      ShowStatus(velmora::kPanelStatus, velmora::SaveOrUndoFirstText());
    }
    return;
  }
  event->acceptProposedAction();
  files_->OpenChosen(CorePath(path));
}
