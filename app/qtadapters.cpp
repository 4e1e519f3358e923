#include "qtadapters.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QLocale>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTime>

#include "routemodel.h"

QtDateTimeFormat::QtDateTimeFormat()
    : datePattern_(QLocale::system().dateFormat(QLocale::ShortFormat)),
      timePattern_(LongTimePattern()) {}

QString QtDateTimeFormat::LongTimePattern() {
  QString pattern = QLocale::system().timeFormat(QLocale::LongFormat);
  // Drop the zone ("t", "tt", "ttt", "tttt") and the blanks around it.
  pattern.remove(QRegularExpression(QStringLiteral("\\s*t+\\s*")));
  pattern = pattern.trimmed();
  return pattern.isEmpty() ? QStringLiteral("H:mm:ss") : pattern;
}

std::string QtDateTimeFormat::ShortDate(const velmora::DateTime& t) const {
  const QDate date(t.year, t.month, t.day);
  return RouteModel::ToCp(QLocale::system().toString(date, datePattern_));
}

std::string QtDateTimeFormat::LongTime(const velmora::DateTime& t) const {
  const QTime time(t.hour, t.minute, t.second, t.millisecond);
  return RouteModel::ToCp(QLocale::system().toString(time, timePattern_));
}

const QString QtFileDialogs::kOpenTitle = QStringLiteral("Открыть файл списка описания маршрутов");
const QString QtFileDialogs::kOpenFilter = QStringLiteral(
    "Список маршрутов Velmora (*.mrp);;Список маршрутов Dorlan (*.mrg);;Таблицы (*.xlsx *.ods *.csv *.tsv);;"
    "Все файла (*.*)");
const QString QtFileDialogs::kSaveTitle = QStringLiteral("Сохранить файлы в формате *.mrp");
const QString QtFileDialogs::kSaveFilter = QStringLiteral("Список маршрутов КАДО (*.mrp)");

namespace {

// Icons and type texts from the name and the kind that the listing already holds. Qt's own
// provider asks QMimeDatabase for the type of every listed file, on the GUI thread, and for a name
// it does not know that opens the file and reads it: /proc/kmsg, or a file on a share that no
// longer answers, would hold the window for good.
class NameOnlyIconProvider : public QFileIconProvider {
 public:
  QIcon icon(const QFileInfo& info) const override {
    if (info.isRoot()) return QFileIconProvider::icon(Drive);
    return QFileIconProvider::icon(info.isDir() ? Folder : File);
  }
  QString type(const QFileInfo& info) const override {
    if (info.isDir()) return QStringLiteral("Папка");
    const QString suffix = info.suffix();
    return suffix.isEmpty() ? QStringLiteral("Файл") : QStringLiteral("Файл %1").arg(suffix);
  }
};

std::optional<std::string> Chosen(QFileDialog& dialog) {
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty() || files.front().isEmpty()) return std::nullopt;
  return CorePath(files.front());
}

}  // namespace

QtFileDialogs::QtFileDialogs(QWidget* parent)
    : parent_(parent), icons_(std::make_unique<NameOnlyIconProvider>()) {}

QtFileDialogs::~QtFileDialogs() = default;

void QtFileDialogs::Prepare(QFileDialog& dialog) const {
  // The system's dialogs can rename and delete files and read them for icons and previews. A
  // Windows shortcut (.lnk) is a file as well: resolving one reads it.
  dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::ReadOnly |
                    QFileDialog::DontResolveSymlinks);
  dialog.setIconProvider(icons_.get());
}

std::optional<std::string> QtFileDialogs::AskOpen(const std::string& startFolder) {
  QFileDialog dialog(parent_, kOpenTitle, QString::fromStdString(startFolder), kOpenFilter);
  dialog.setObjectName(QStringLiteral("odMrp"));
  Prepare(dialog);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(QStringLiteral("mrp"));
  return Chosen(dialog);
}

std::optional<std::string> QtFileDialogs::AskSave(const std::string& startFolder,
                                                  const std::string& proposedName) {
  QFileDialog dialog(parent_, kSaveTitle, QString::fromStdString(startFolder), kSaveFilter);
  dialog.setObjectName(QStringLiteral("sdMrp"));
  Prepare(dialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  // The dialog adds the extension before it asks about an existing file, so its question covers the
  // name that is written.
  dialog.setDefaultSuffix(QStringLiteral("mrp"));
  dialog.selectNameFilter(kSaveFilter);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
  if (!proposedName.empty()) dialog.selectFile(QString::fromStdString(proposedName));
  return Chosen(dialog);
}

bool QtFileDialogs::AskReplace(const std::string& path) {
  return Ask(velmora::ReplaceQuestionText(path), "mbReplace");
}

bool QtFileDialogs::AskCut(const std::string& path, int routesInFile, int routesKept) {
  return Ask(velmora::CutQuestionText(path, routesInFile, routesKept), "mbCut");
}

bool QtFileDialogs::Ask(const std::string& question, const char* objectName) const {
  QMessageBox box(QMessageBox::Question, kSaveTitle, RouteModel::FromCp(question),
                  QMessageBox::Yes | QMessageBox::No, parent_);
  box.setObjectName(QString::fromLatin1(objectName));
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

std::string CorePath(const QString& path) {
  return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()).toStdString();
}
