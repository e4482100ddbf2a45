#pragma once

// The folder picker behind Browse: the platform's folder chooser, modal and owned by the main
// dialog, showing folders only.

#include "folders/MapList.h"

class QWidget;

namespace entorra {

class CFolderPicker final : public IFolderPicker {
public:
    explicit CFolderPicker(QWidget* owner) : m_pOwner(owner) {}

    std::optional<std::string> SelectFolder(const std::string& prompt,
                                            const std::string& startFolder) override;

private:
    QWidget* m_pOwner;
};

}  // namespace entorra
