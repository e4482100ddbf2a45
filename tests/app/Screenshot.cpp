// Draws the main dialog showing a map into a PNG, for the documentation:
//   entorra_screenshot MAP.bsp OUT.png [SEARCH]
// The settings live in memory, so the user's own are neither read nor written.

#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOptionTitleBar>
#include <QTimer>
#include <QWindow>
#include <cstdio>

#include "app/CommandLine.h"
#include "app/EntorraDlg.h"
#include "app/Resource.h"
#include "folders/MapFolder.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/MemorySettingsStore.h"

namespace {

// The window's client area under a title bar that the style draws, since a grab holds no
// frame: the title names the map, as the window manager shows it.
QPixmap WithTitleBar(QWidget& window) {
    const QPixmap client = window.grab();
    QStyleOptionTitleBar bar;
    bar.initFrom(&window);
    bar.text = window.windowHandle()->title();
    bar.icon = window.windowIcon();
    bar.titleBarFlags = window.windowFlags();
    bar.titleBarState = Qt::WindowActive;
    bar.state |= QStyle::State_Active;
    bar.subControls =
        QStyle::SC_TitleBarLabel | QStyle::SC_TitleBarSysMenu | QStyle::SC_TitleBarCloseButton;
    QStyle* style = window.style();
    const int height = style->pixelMetric(QStyle::PM_TitleBarHeight, &bar, &window);
    bar.rect = QRect(0, 0, client.width(), height);
    QPixmap framed(client.width(), height + client.height());
    framed.fill(window.palette().color(QPalette::Window));
    QPainter painter(&framed);
    style->drawComplexControl(QStyle::CC_TitleBar, &bar, &painter, &window);
    painter.drawPixmap(0, height, client);
    return framed;
}

}  // namespace

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
    dialog.resize(dialog.Units().Size(540, 438));  // the template's size, whatever the screen
    dialog.OnFind();                               // a found block, selected
    QTimer::singleShot(300, &app, &QApplication::quit);
    app.exec();
    const bool saved = WithTitleBar(dialog).save(QString::fromLocal8Bit(argv[2]));
    for (const std::string& message : prompt.messages) {
        std::fprintf(stderr, "message: %s\n", message.c_str());
    }
    return saved ? 0 : 1;
}
