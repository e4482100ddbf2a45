#pragma once

#include <QApplication>
#include <string>
#include <vector>

namespace entorra {

// The application: runs the main dialog once; the program ends when it closes.
class CEntorraApp final : public QApplication {
    Q_OBJECT
public:
    CEntorraApp(int& argc, char** argv);

    int InitInstance();

private:
    std::vector<std::string> m_arguments;  // as given, less what Qt took for itself
};

}  // namespace entorra
