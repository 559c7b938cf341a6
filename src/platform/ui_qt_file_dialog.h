// Open and save file dialogs for the dialog framework's requests.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <string>

#include "platform/ui.h"

class QWidget;

namespace ui::qt {

// The platform's filter form, "text|patterns|text|patterns||" with patterns
// separated by ';', as Qt's name filters "text (patterns)"; "*.*" means every
// file, as it does on the platform.
QStringList nameFiltersFrom(const QString& platformFilter);

// The chosen path in CP932, a cancel, or a path that CP932 cannot hold.
FileChoice runFileDialog(QWidget* owner, const FileDialogRequest& request);

}  // namespace ui::qt
