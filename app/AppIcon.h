#pragma once

#include <QIcon>

namespace entorra {

// The application icon: a drawing for any size, and the 32 x 32 image.
QIcon AppIcon();

}  // namespace entorra
