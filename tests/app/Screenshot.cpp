// Draws the main dialog showing a map into a PNG, for the documentation:
//   entorra_screenshot MAP.bsp OUT.png [SEARCH]
// The settings live in memory, so the user's own are neither read nor written.

#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QPixmap>
#include <QTimer>
#include <cstdio>

#include "app/CommandLine.h"
#include "app/EntorraDlg.h"
#include "app/Resource.h"
#include "folders/MapFolder.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/MemorySettingsStore.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s MAP.bsp OUT.png [SEARCH]\n", argv[0]);
        return 2;
    }
    using namespace entorra;
    testing::CScriptedPrompt prompt;
    testing::CScriptedPicker picker;
    testing::CMemorySettingsStore settings;
    const StartTarget start = ResolveStartTarget(argv[1], '/');
    StoreMapFolder(settings, start.folder);

    CDialogSetup setup;
    setup.settings = &settings;
    setup.prompt = &prompt;
    setup.picker = &picker;
    setup.rules = CurrentPlatformRules();
    setup.startMap = start.mapName;
    CEntorraDlg dialog(setup);
    dialog.OnInitDialog();
    dialog.show();
    if (argc >= 4) {
        dialog.findChild<QComboBox*>(QString::fromLatin1(IDC_ENTITY_COMBO))
            ->setEditText(QString::fromLocal8Bit(argv[3]));
    }
    dialog.OnFind();  // a found block, selected
    QTimer::singleShot(300, &app, &QApplication::quit);
    app.exec();
    const bool saved = dialog.grab().save(QString::fromLocal8Bit(argv[2]));
    for (const std::string& message : prompt.messages) {
        std::fprintf(stderr, "message: %s\n", message.c_str());
    }
    return saved ? 0 : 1;
}
