#include "app/FolderPicker.h"

#include <QDir>
#include <QFileDialog>

#include "app/QtText.h"

namespace entorra {

std::optional<std::string> CFolderPicker::SelectFolder(const std::string& prompt,
                                                       const std::string& startFolder) {
    const QString chosen = QFileDialog::getExistingDirectory(
        m_pOwner, ToQString(prompt), ToQString(startFolder), QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    return FromQString(QDir::toNativeSeparators(chosen));
}

}  // namespace entorra
