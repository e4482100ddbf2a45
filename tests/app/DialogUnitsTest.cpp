#include <gtest/gtest.h>

#include "app/DialogUnits.h"

namespace entorra {
namespace {

TEST(DialogUnits, ConvertQuartersOfTheAverageWidthAndEighthsOfTheHeight) {
    const CDialogUnits units(6, 13);  // 8-point MS Sans Serif at 96 dpi
    EXPECT_EQ(units.Size(540, 438), QSize(810, 712));
    EXPECT_EQ(units.Rect(191, 100, 332, 318), QRect(287, 163, 498, 516));
}

}  // namespace
}  // namespace entorra
