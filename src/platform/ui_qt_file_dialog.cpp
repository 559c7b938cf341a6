#include "platform/ui_qt_file_dialog.h"

#include <QFileDialog>

#include "platform/text.h"
#include "platform/ui_qt_app.h"

namespace ui::qt {

QStringList nameFiltersFrom(const QString& platformFilter) {
    const QStringList parts = platformFilter.split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty()) break;
        QStringList patterns = parts[i + 1].split(';', Qt::SkipEmptyParts);
        for (QString& pattern : patterns) {
            pattern = pattern.trimmed();
            if (pattern == "*.*") pattern = "*";
        }
        filters << parts[i] + " (" + patterns.join(' ') + ")";
    }
    return filters;
}

FileChoice runFileDialog(QWidget* owner, const FileDialogRequest& request) {
    // File names on Linux are UTF-8; the program's text is CP932.
    const QString initialPath = QString::fromStdString(text::cp932ToUtf8(request.initialPath));
    QFileDialog dialog(owner, QString(), initialPath);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // Neither dialog asks for an existing file: a settings file that is not
    // there simply loads nothing.
    dialog.setFileMode(QFileDialog::AnyFile);
    // The filter texts already name their patterns.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
    const QStringList filters = nameFiltersFrom(fromCp932(request.filter));
    if (!filters.isEmpty()) dialog.setNameFilters(filters);
    if (!request.defaultExtension.empty()) {
        dialog.setDefaultSuffix(fromCp932(request.defaultExtension));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return FileChoice::chosen(text::utf8ToCp932Exact(dialog.selectedFiles().first().toStdString()));
}

}  // namespace ui::qt
