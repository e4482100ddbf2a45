#include "app/EntorraApp.h"

#include "app/AppIcon.h"
#include "app/CommandLine.h"
#include "app/EntorraDlg.h"
#include "app/Resource.h"
#include "folders/Platform.h"

#if defined(_WIN32)
#include "folders/RegistrySettingsStore.h"
#else
#include "app/QtSettingsStore.h"
#endif

namespace entorra {

CEntorraApp::CEntorraApp(int& argc, char** argv) : QApplication(argc, argv) {
    for (int i = 0; i < argc && argv[i] != nullptr; ++i) {
        m_arguments.emplace_back(argv[i]);
    }
}

int CEntorraApp::InitInstance() {
    setApplicationName(kAppName);
    setOrganizationName(QStringLiteral("Quorvale"));
    setApplicationVersion(QStringLiteral(ENTORRA_VERSION));
    setDesktopFileName(QStringLiteral("entorra"));
    setWindowIcon(AppIcon());

#if defined(_WIN32)
    CRegistrySettingsStore settings;
#else
    CQtSettingsStore settings;
#endif
    const CommandLine line = ParseCommandLine(m_arguments);
    CDialogSetup setup;
    setup.settings = &settings;
    setup.rules = CurrentPlatformRules();
    setup.dumpSwitch = line.dumpSwitch;
    if (line.target) {
        StartTarget start = ResolveStartTarget(*line.target, setup.rules.separator);
        setup.startFolder = std::move(start.folder);
        setup.startMap = std::move(start.mapName);
    }

    CEntorraDlg dialog(std::move(setup));
    dialog.DoModal();
    return 0;
}

}  // namespace entorra
